# uicontrol_add_test(NAME <name> SOURCES <files...> LIBS <libs...> [THREADED] [LUA] [TIMEOUT <s>])
# THREADED tests also run in the ThreadSanitizer build; the others are skipped there.
# LUA marks the tests that run Lua code: a build that checks another Lua implementation
# (UICONTROL_LUA_TESTS_ONLY) builds only those. TIMEOUT (default 300 s) is each test's limit.
option(UICONTROL_LUA_TESTS_ONLY "Build only the tests that run Lua code" OFF)
function(uicontrol_add_test)
  cmake_parse_arguments(T "THREADED;LUA" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(UICONTROL_SANITIZER STREQUAL "thread" AND NOT T_THREADED)
    return()
  endif()
  if(UICONTROL_LUA_TESTS_ONLY AND NOT T_LUA)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # One label per test: a list would be split apart on its way through test discovery.
  # "threaded" marks the tests that the ThreadSanitizer build and scripts/stress.sh run.
  set(label unit)
  if(T_THREADED)
    set(label threaded)
  endif()
  # Each test program runs in its own build folder, never in the source tree (a test may
  # leave files in its current folder); "source_tree" checks that (tests/sourcetree).
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       PROPERTIES LABELS ${label} TIMEOUT ${T_TIMEOUT} FIXTURES_REQUIRED source_tree)
endfunction()
