# The arena game's driver: its bookkeeping helpers, the view rectangle, the loop itself, and the
# sample installation's arenas.
quorrin_test(arena_driver_tests
  LABELS driver
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/arena_helpers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../level/sample_arenas_test.cpp
  DEPS client tools_writers)
target_compile_definitions(arena_driver_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(arena_driver_tests sample_install)

# One arena game as screen 1 plays it, offline on the sample level.
quorrin_test(arena_flow_tests
  LABELS game-flow
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/arena_loop_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../screens/screen_fixture.cpp
  DEPS client tools_writers)
target_compile_definitions(arena_flow_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/../screens/golden")
add_dependencies(arena_flow_tests sample_install)

# The driver: settings, command line, timers, window rows and the screen loops.
quorrin_test(driver_tests
  LABELS driver
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/driver_settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/driver_timers_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/driver_connect_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/driver_display_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/driver_splash_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../screens/screen_fixture.cpp
  DEPS client platform common tools_writers)
target_compile_definitions(driver_tests PRIVATE
  SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/../screens/golden"
  SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(driver_tests sample_install)

# The whole program, headless on the virtual clock, in copies of the sample installation.
quorrin_test(game_flow_tests
  LABELS game-flow foundations-hostile
  TIMEOUT 1500
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/game_flow_test.cpp
  DEPS common)
target_compile_definitions(game_flow_tests PRIVATE
  GAME_PROGRAM="$<TARGET_FILE:game>"
  GAME_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden"
  SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}")
add_dependencies(game_flow_tests game sample_install)

# game_host: the game with the scripted service stepped inside, for deterministic online runs.
add_executable(game_host ${CMAKE_CURRENT_LIST_DIR}/game_host_main.cpp)
target_link_libraries(game_host PRIVATE game_entry test_support)
add_dependencies(game_flow_tests game_host)
target_compile_definitions(game_flow_tests PRIVATE GAME_HOST="$<TARGET_FILE:game_host>")
