# bench_device drives the device layer directly.
if(TARGET bench_device)
  target_link_libraries(bench_device PRIVATE quill_platform_d3d)
endif()
