# Level packs, PCX pictures and spell.bin come from the installation and the update server.
quorrin_fuzz(pack_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/pack_fuzz.cpp DEPS client)
quorrin_fuzz(pcx_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/pcx_fuzz.cpp DEPS client)
quorrin_fuzz(spellbin_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/spellbin_fuzz.cpp DEPS client)
