# The network client's lower half: catalogue and bodies, rings and framing, the socket layer,
# the client tables, against the scripted game service on loopback.
quorrin_test(net_core_tests
  LABELS net-core net-link
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/net_catalogue_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_bodies_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/socket_settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_framing_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_link_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_hostile_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/client_tables_test.cpp
  DEPS client platform common)

# game_service: the scripted service as a program, for running game by hand (README).
add_executable(game_service ${CMAKE_CURRENT_LIST_DIR}/game_service_main.cpp)
target_link_libraries(game_service PRIVATE test_support)

# The upper half: dispatch, handlers, senders, waits and entry against the service.
quorrin_test(net_messages_tests
  LABELS net-messages net-link
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/net_messages_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_arena_test.cpp
  DEPS client platform common tools_writers)
