# The crash report: the async-signal-safe services in process, and child programs that fault.
add_executable(crash_child ${CMAKE_CURRENT_LIST_DIR}/crash_child.cpp)
target_link_libraries(crash_child PRIVATE client platform)

quorrin_test(crash_tests
  LABELS crash
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/crash_services_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/crash_report_test.cpp
  DEPS client platform)
target_compile_definitions(crash_tests PRIVATE CRASH_CHILD="$<TARGET_FILE:crash_child>")
add_dependencies(crash_tests crash_child)
