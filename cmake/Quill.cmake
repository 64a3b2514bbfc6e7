# quill_library(<target> DIR <folder> [EXCLUDE <regex>...] [DEPS <targets>...])
#
# A static library made of every .cpp below <folder>. New files are picked up on the next
# build (CONFIGURE_DEPENDS), so adding a source never needs an edit here.
function(quill_library target)
  cmake_parse_arguments(Q "" "DIR" "EXCLUDE;DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${Q_DIR}/*.cpp ${Q_DIR}/*.c)
  foreach(rx IN LISTS Q_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${rx}")
  endforeach()
  if(NOT srcs)
    message(FATAL_ERROR "quill_library(${target}): no sources in ${Q_DIR}")
  endif()
  add_library(${target} STATIC ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${Q_DEPS} PRIVATE ${Q_PRIVATE_DEPS})
endfunction()

# quill_test_folder(<target> DIR <folder> DEPS <targets>... [LONG <gtest filter>])
#
# One GoogleTest program made of every .cpp below <folder>, linked with the headless test
# main (tests/support). Each test case is registered with CTest on its own. The cases that LONG
# names run whole programs one after another (minutes on a loaded machine): they get a limit
# that a machine several times slower still meets, and CTest starts them first, so the rest of
# the suite runs beside them instead of after them.
function(quill_test_folder target)
  cmake_parse_arguments(Q "" "DIR;LONG" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${Q_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${target} ${srcs})
  target_link_libraries(${target} PRIVATE quill_test_support ${Q_DEPS})
  if(Q_LONG)
    gtest_discover_tests(${target}
      WORKING_DIRECTORY ${QUILL_BIN_DIR}
      DISCOVERY_TIMEOUT 60
      TEST_FILTER "-${Q_LONG}"
      PROPERTIES TIMEOUT 300)
    gtest_discover_tests(${target}
      WORKING_DIRECTORY ${QUILL_BIN_DIR}
      DISCOVERY_TIMEOUT 60
      TEST_FILTER "${Q_LONG}"
      PROPERTIES TIMEOUT 1500 COST 10000)
  else()
    gtest_discover_tests(${target}
      WORKING_DIRECTORY ${QUILL_BIN_DIR}
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300)
  endif()
endfunction()
