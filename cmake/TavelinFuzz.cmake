# libFuzzer targets: tests/fuzz/<name>.cpp becomes fuzz_<name>; the test run
# fuzzes each for TAVELIN_FUZZ_SECONDS from tests/fuzz/corpus/<name>, with
# tests/fuzz/<name>.dict when there is one.
file(GLOB fuzz_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/fuzz/*.cpp)
foreach(source IN LISTS fuzz_sources)
  get_filename_component(name ${source} NAME_WE)
  add_executable(fuzz_${name} ${source})
  target_link_libraries(fuzz_${name} PRIVATE ${TAVELIN_ALL_SUBSYSTEMS} tavelin_fakes)
  target_include_directories(fuzz_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set(args -max_total_time=${TAVELIN_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=4096 -print_final_stats=1)
  if(EXISTS ${PROJECT_SOURCE_DIR}/tests/fuzz/${name}.dict)
    list(APPEND args -dict=${PROJECT_SOURCE_DIR}/tests/fuzz/${name}.dict)
  endif()
  # A scratch corpus in the build folder, seeded from the committed one.
  set(work ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  add_test(NAME fuzz.${name}
           COMMAND ${PROJECT_SOURCE_DIR}/tools/run-fuzz.sh $<TARGET_FILE:fuzz_${name}> ${work}
                   ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/${name} ${args})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 900)
endforeach()
