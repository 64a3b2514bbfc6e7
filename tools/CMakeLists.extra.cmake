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
# bench_game runs the game in-process and starts the program, the play test and Xvfb.
# It reads the album's layout as the play tests do (tests/game/play/PlayData.h).
if(TARGET bench_game)
  target_link_libraries(bench_game PRIVATE velvet_game)
  target_sources(bench_game PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/TestEnvironment.cpp)
endif()
