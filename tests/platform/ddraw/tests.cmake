# Our DirectDraw and Direct3D layer with the software 3D device (label platform-3d).
quorrin_test(ddraw_tests
  LABELS platform-3d engine-hostile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/surface_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/directdraw_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/raster_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_test.cpp
  DEPS platform common)

# The PNG images of the helpers need zlib.
target_link_libraries(test_support PUBLIC ZLIB::ZLIB)

quorrin_test(ddraw_scene_tests
  LABELS platform-3d
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/scene_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/scene.cpp
  DEPS platform common)
target_compile_definitions(ddraw_scene_tests PRIVATE DDRAW_GOLDEN_DIR="${CMAKE_CURRENT_LIST_DIR}/golden")

# The scene in the SDL window (run it by hand; CTest runs it headless for a few frames).
add_executable(ddraw_scene_demo ${CMAKE_CURRENT_LIST_DIR}/scene_demo.cpp ${CMAKE_CURRENT_LIST_DIR}/scene.cpp)
target_link_libraries(ddraw_scene_demo PRIVATE platform common test_support)
add_test(NAME ddraw_scene_demo_headless
  COMMAND ddraw_scene_demo --headless --frames 3 --screenshot ${CMAKE_CURRENT_BINARY_DIR}/scene_demo.png)
set_tests_properties(ddraw_scene_demo_headless PROPERTIES LABELS platform-3d)
