# Every byte from the game service: stream frames through the receive ring and single datagrams,
# each packet then read by the body reader of its code.
quorrin_fuzz(net_stream_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_stream_fuzz.cpp DEPS client)
quorrin_fuzz(net_datagram_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_datagram_fuzz.cpp DEPS client)
# One packet of any code through the dispatcher and every handler.
if(TARGET test_support)
  quorrin_fuzz(net_dispatch_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_dispatch_fuzz.cpp DEPS client test_support)
endif()
