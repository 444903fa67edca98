# uicontrol_add_test(NAME <name> SOURCES <files...> LIBS <libs...> [THREADED])
# THREADED tests also run in the ThreadSanitizer build; the others are skipped there.
function(uicontrol_add_test)
  cmake_parse_arguments(T "THREADED" "NAME" "SOURCES;LIBS" ${ARGN})
  if(UICONTROL_SANITIZER STREQUAL "thread" AND NOT T_THREADED)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  set(labels unit)
  if(T_THREADED)
    list(APPEND labels threaded)
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  # The discovered tests' properties are written out flat, so a list of labels given
  # there would lose every label but the first (and the properties after it). The labels
  # are set instead by a script that CTest reads after the discovered tests, on the list
  # of names the discovery leaves in <name>_TESTS.
  set(label_script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake")
  file(WRITE "${label_script}"
       "if(${T_NAME}_TESTS)\n  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${labels}\")\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${label_script}")
endfunction()
