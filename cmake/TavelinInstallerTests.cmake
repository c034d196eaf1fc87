# Native checks of the installers, without Wine: tests/installer/test_*.py, each becomes
# installer.<name>. They hold the installer sources and a package built here against the
# saver's own table of settings, printed by a program built from that table. Debian's own
# Python runs them, for its python3-olefile.
add_executable(print_settings_table ${PROJECT_SOURCE_DIR}/tests/installer/print_settings_table.cpp)
target_link_libraries(print_settings_table PRIVATE tavelin_settings)

file(GLOB installer_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/installer/test_*.py)
foreach(script IN LISTS installer_tests)
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME installer.${name} COMMAND /usr/bin/python3 ${script})
  set_tests_properties(installer.${name} PROPERTIES TIMEOUT 300
    ENVIRONMENT "TAVELIN_SETTINGS_TABLE=$<TARGET_FILE:print_settings_table>;TAVELIN_SOURCE_DIR=${PROJECT_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
endforeach()
