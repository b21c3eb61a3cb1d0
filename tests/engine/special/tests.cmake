quorrin_test(engine_special_tests
  LABELS engine-special
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/sg_oriented_box_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_moving_triangle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_triangle_collider_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_depth_order_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_switch_nodes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_special_nodes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_projection_lights_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_deferred_draw_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_tri_collision_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sg_special_stream_test.cpp
  DEPS engine_test_support engine_geometry)
