# Our socket library over POSIX on loopback.
quorrin_test(sock_tests
  LABELS net-core net-link
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/wsock32_test.cpp
  DEPS platform common)
