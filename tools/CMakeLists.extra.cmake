# bench_device drives the device layer directly.
if(TARGET bench_device)
  target_link_libraries(bench_device PRIVATE quill_platform_d3d)
endif()
# The picture converter of the art pipeline talks to libpng and libjpeg directly.
if(TARGET convert_picture)
  target_link_libraries(convert_picture PRIVATE PNG::PNG JPEG::JPEG)
endif()
# bench_board runs the game itself.
if(TARGET bench_board)
  target_link_libraries(bench_board PRIVATE velvet_game)
endif()
