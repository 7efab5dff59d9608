# Test code is built with -O1 and line tables unless the build is Debug: half
# the compile time of -O2 -g; the code under test keeps the build's own flags.
set(GW_TEST_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-O1> $<$<NOT:$<CONFIG:Debug>>:-g1>)

# gw_objects(<target> [deps...]): an object library of every .cpp beside the
# calling CMakeLists.txt. Object libraries let one subsystem's static library
# be assembled from its folders, and let a test link just the folders it needs.
function(gw_objects target)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # A folder whose sources are still to come.
    set(srcs ${CMAKE_CURRENT_BINARY_DIR}/${target}_empty.cpp)
    file(WRITE ${srcs} "")
  endif()
  add_library(${target} OBJECT ${srcs})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARGN})
endfunction()

# gw_tests(<name> [SIM] [DIR <folder>] [libs...]): one GoogleTest executable of every
# .cpp in <folder> (default tests/) beside the calling CMakeLists.txt,
# registered with CTest, linked with the test-support library gw_testing and
# built with its options on its precompiled GoogleTest header. Tests run with SERVER_ROOT
# pointing into the build tree, never at the machine, and GW_SOURCE_DIR naming
# the source tree: paths reach a test at run time, never compiled in. SIM:
# the tests drive the simulated board, so a build for the real one has none.
function(gw_tests name)
  cmake_parse_arguments(T "SIM" "DIR" "" ${ARGN})
  if(T_SIM AND NOT BOARD_SIM)
    return()
  endif()
  if(NOT T_DIR)
    set(T_DIR tests)
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${T_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_UNPARSED_ARGUMENTS} gw_testing GTest::gtest Threads::Threads)
  target_compile_options(${name} PRIVATE ${GW_TEST_OPTIONS})
  target_precompile_headers(${name} REUSE_FROM gw_testing)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-root/${name})
  if(GW_EMULATOR)
    # Under the emulator, which the test puts before the programs it starts too.
    add_test(NAME ${name} COMMAND ${GW_EMULATOR} $<TARGET_FILE:${name}>)
    string(JOIN " " emulator ${GW_EMULATOR})
    set(emulator ";GW_EMULATOR=${emulator}")
    add_dependencies(${name} gw_emulated_tcpinfo)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set(emulator "")
  endif()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "SERVER_ROOT=${CMAKE_BINARY_DIR}/test-root/${name};GW_SOURCE_DIR=${PROJECT_SOURCE_DIR}${emulator}"
    TIMEOUT 600)
endfunction()

# gw_standin(<test>): the test installs copies of the stand-in for the
# daemon's child programs (media/tests/standin), named by GW_STANDIN. Under
# the emulator the kernel cannot start a copy of the target's program: the
# copies are then the host's launcher, which starts the stand-in
# (GW_STANDIN_TARGET) through the emulator.
function(gw_standin test)
  if(GW_EMULATOR)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "GW_STANDIN=${GW_STANDIN_LAUNCHER}"
                 "GW_STANDIN_TARGET=$<TARGET_FILE:standin>")
    add_dependencies(${test} standin standin_launcher)
  else()
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "GW_STANDIN=$<TARGET_FILE:standin>")
    add_dependencies(${test} standin)
  endif()
endfunction()
