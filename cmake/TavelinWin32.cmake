# The Windows side: the win32 adapters, Tavelin.scr and its resources.
file(GLOB win32_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/platform/win32/*.cpp)
list(FILTER win32_sources EXCLUDE REGEX "/main\\.cpp$")
add_library(tavelin_win32 STATIC ${win32_sources})
target_include_directories(tavelin_win32 PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(tavelin_win32 PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
# The dialog adapter runs the settings subsystem's dialog procedure.
target_link_libraries(tavelin_win32 PUBLIC tavelin_core tavelin_settings winhttp usp10 gdi32 user32 advapi32 comdlg32 kernel32)

set(main_source ${PROJECT_SOURCE_DIR}/src/platform/win32/main.cpp)
if(EXISTS ${main_source})
  file(GLOB rc_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/*.rc)
  add_executable(Tavelin WIN32 ${main_source} ${rc_sources})
  set_target_properties(Tavelin PROPERTIES OUTPUT_NAME Tavelin SUFFIX ".scr"
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  target_link_options(Tavelin PRIVATE -municode)
  target_link_libraries(Tavelin PRIVATE tavelin_win32 ${TAVELIN_ALL_SUBSYSTEMS} tavelin_win32)
  target_include_directories(Tavelin PRIVATE ${PROJECT_SOURCE_DIR}/resources)
  set_property(SOURCE ${rc_sources} APPEND PROPERTY OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources)
endif()

# Timings that need the real platform: bench/win32/*.cpp, one program each.
file(GLOB win32_bench_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/win32/*.cpp)
foreach(source IN LISTS win32_bench_sources)
  get_filename_component(name ${source} NAME_WE)
  add_executable(bench_${name} ${source})
  target_link_libraries(bench_${name} PRIVATE tavelin_win32 ${TAVELIN_ALL_SUBSYSTEMS} tavelin_win32)
  # The saver-in-a-window set-up is shared with the Wine tests (tests/support).
  target_include_directories(bench_${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_options(bench_${name} PRIVATE -municode)
  set_target_properties(bench_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endforeach()
