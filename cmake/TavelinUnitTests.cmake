# Native unit tests: tests/unit/<group>/*.cpp becomes the program unit_<group>.
find_package(GTest REQUIRED)
include(GoogleTest)

tavelin_test_groups(groups ${PROJECT_SOURCE_DIR}/tests/unit)
foreach(group IN LISTS groups)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/unit/${group}/*.cpp)
  add_executable(unit_${group} ${sources})
  # A subsystem's tests link only that subsystem, so one folder's breakage stays its own.
  if(TARGET tavelin_${group})
    set(under_test tavelin_${group})
  else()
    set(under_test ${TAVELIN_ALL_SUBSYSTEMS})
  endif()
  target_link_libraries(unit_${group} PRIVATE ${under_test} tavelin_fakes GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(unit_${group} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(unit_${group} PRIVATE TAVELIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(unit_${group} TEST_PREFIX "unit.${group}." DISCOVERY_TIMEOUT 120)
endforeach()

# The publisher (tools/tavelin-publish) is Python for Debian's own interpreter: its unit
# tests, the web console's through Flask's test client, run here too.
add_test(NAME unit.publisher
         COMMAND /usr/bin/python3 -m unittest discover -s ${PROJECT_SOURCE_DIR}/tests/publisher
                 -t ${PROJECT_SOURCE_DIR}/tests/publisher)
set_tests_properties(unit.publisher PROPERTIES TIMEOUT 300
  ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1;PYTHONPATH=${PROJECT_SOURCE_DIR}")

# The web console in a real browser (headless chromium through its driver); the
# screenshots of each page go to the output folder.
add_test(NAME browser.console COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/browser/test_console_in_browser.py)
set_tests_properties(browser.console PROPERTIES TIMEOUT 300
  ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1;PYTHONPATH=${PROJECT_SOURCE_DIR};TAVELIN_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output/browser")

