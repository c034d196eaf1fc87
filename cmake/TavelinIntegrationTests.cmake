# Native tests across programs: tests/integration/test_*.py, run with the
# feed checker built here (TAVELIN_FEED_LINES) and the publisher of this tree.
file(GLOB integration_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/integration/test_*.py)
foreach(script IN LISTS integration_tests)
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME integration.${name} COMMAND /usr/bin/python3 ${script})
  set_tests_properties(integration.${name} PROPERTIES TIMEOUT 600
    ENVIRONMENT "TAVELIN_FEED_LINES=$<TARGET_FILE:tavelin-feed-lines>;TAVELIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endforeach()
