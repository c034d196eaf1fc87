# Tests under Wine: tests/wine/<group>/*.cpp becomes wine_<group>.exe, run by
# CTest through tests/support/wine-run in a private prefix and X display; the
# e2e tests (tests/e2e/test_*.py) drive Tavelin.scr from outside.
set(TAVELIN_WINE_ROOT ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tests/support/wine-run --root ${TAVELIN_WINE_ROOT} --)

set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

tavelin_test_groups(groups ${PROJECT_SOURCE_DIR}/tests/wine)
foreach(group IN LISTS groups)
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/wine/${group}/*.cpp)
  add_executable(wine_${group} ${sources})
  if(TARGET tavelin_${group})
    set(under_test tavelin_${group})
  else()
    set(under_test ${TAVELIN_ALL_SUBSYSTEMS})
  endif()
  target_link_libraries(wine_${group} PRIVATE tavelin_win32 ${under_test} tavelin_fakes tavelin_win32 gtest gmock gtest_main)
  target_include_directories(wine_${group} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # A group with a server.py gets it started first (its port in TAVELIN_TEST_PORT).
  set(with "")
  if(EXISTS ${PROJECT_SOURCE_DIR}/tests/wine/${group}/server.py)
    set(with --with ${PROJECT_SOURCE_DIR}/tests/wine/${group}/server.py)
  endif()
  add_test(NAME wine.${group}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/support/wine-run --root ${TAVELIN_WINE_ROOT} ${with} -- $<TARGET_FILE:wine_${group}>)
  set_tests_properties(wine.${group} PROPERTIES TIMEOUT 600 FIXTURES_REQUIRED wine_prefixes)
endforeach()

# Small helper programs the e2e tests and the wine tests start (tests/support/win32/*.cpp, one each).
file(GLOB helper_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/support/win32/*.cpp)
foreach(source IN LISTS helper_sources)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE tavelin_win32 tavelin_core crypt32)
  target_link_options(${name} PRIVATE -municode)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
endforeach()

file(GLOB e2e_tests CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/e2e/test_*.py)
foreach(script IN LISTS e2e_tests)
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME e2e.${name} COMMAND /usr/bin/python3 ${script})
  set_tests_properties(e2e.${name} PROPERTIES TIMEOUT 900 FIXTURES_REQUIRED wine_prefixes SKIP_RETURN_CODE 77
    ENVIRONMENT "TAVELIN_BUILD_DIR=${CMAKE_BINARY_DIR};TAVELIN_SOURCE_DIR=${PROJECT_SOURCE_DIR};TAVELIN_WINE_ROOT=${TAVELIN_WINE_ROOT}")
endforeach()

# Runs after every test above: no process of any of their prefixes is left.
add_test(NAME wine.no_process_left
         COMMAND ${PROJECT_SOURCE_DIR}/tools/wine/wine-leftovers --wait 15 --kill ${TAVELIN_WINE_ROOT})
set_tests_properties(wine.no_process_left PROPERTIES TIMEOUT 60 FIXTURES_CLEANUP wine_prefixes)
