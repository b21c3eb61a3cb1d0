# Presentation I: renderer and cameras, level of detail, rooms and portals, world geometry and
# static lighting.
quorrin_test(present_world_tests
  LABELS present-world
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/camera_set_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lod_select_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/portal_defs_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/rooms_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cell_faces_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_mesh_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/world_rooms_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/world_lighting_test.cpp
  DEPS client_present render_test_support engine_test_support tools_writers)
