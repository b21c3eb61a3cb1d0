# The network client's lower half: catalogue and bodies, rings and framing, the socket layer,
# the client tables, against the scripted game service on loopback.
quorrin_test(net_core_tests
  LABELS net-core
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/net_catalogue_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/net_bodies_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/socket_settings_test.cpp
  DEPS client platform common)
