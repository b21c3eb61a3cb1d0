# Levels: the world object and thin tables, the triggers, the level loaders and the sample levels.
quorrin_test(levels_tests
  LABELS levels arena-hostile player-view
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/world_object_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/thin_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/trigger_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/object_effects_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../level/level_loader_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../level/level_maps_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../level/level_flow_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../level/level_textures_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../screens/loading_screen_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../screens/screen_fixture.cpp
  DEPS client tools_writers)
target_compile_definitions(levels_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/../screens/golden")
add_dependencies(levels_tests sample_install)

# Arena simulation: the local player's line tests, casting, effects, movement and input.
quorrin_test(arena_player_tests
  LABELS arena-player arena-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/line_tests_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spell_cast_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/player_status_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/player_move_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/player_controls_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/game_input_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/status_line_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ambient_sound_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/player_start_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/whole_flow_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../screens/screen_fixture.cpp
  DEPS client tools_writers)
target_compile_definitions(arena_player_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  SCREENS_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/../screens/golden")
add_dependencies(arena_player_tests sample_install)

# Arena simulation II: the spell objects and the object update.
quorrin_test(arena_spells_tests
  LABELS arena-spells arena-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/spell_objects_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/object_update_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/monster_think_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/object_frame_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/object_hits_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spell_casts_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/effect_spells_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/world_effects_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/arena_frame_test.cpp
  DEPS client)

# A whole offline match on the sample level against its golden dump.
quorrin_test(arena_match_tests
  LABELS arena-spells
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/timedemo_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sample_spells_test.cpp
  DEPS client)
target_compile_definitions(arena_match_tests PRIVATE SAMPLE_INSTALL_DIR="${QUORRIN_INSTALL_DIR}"
  TIMEDEMO_GOLDEN="${CMAKE_CURRENT_LIST_DIR}/golden/timedemo.txt")
add_dependencies(arena_match_tests sample_install)
# The match fixture in test_support calls into the client: it comes again after test_support.
target_link_libraries(arena_match_tests PRIVATE client)
