# Runs the Tavern headless in a copy of the installation against the in-process service: it must
# enter the lobby, leave by Exit and leave its screenshots.
include(${CMAKE_CURRENT_LIST_DIR}/../../support/copy_install.cmake)
execute_process(COMMAND ${CMAKE_COMMAND} -E env GAME_CLOCK=virtual ${DEMO} --headless --install ${WORK} --script ${SCRIPT}
                        --shot 800 ${WORK}/arenas.png --shot 1600 ${WORK}/details.png
                        --shot 2400 ${WORK}/tables.png
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lobby_demo failed: ${result}\n${output}\n${errors}")
endif()
if(NOT output MATCHES "lobby ended: leave 1")
  message(FATAL_ERROR "the lobby did not end by Exit:\n${output}")
endif()
foreach(shot arenas details tables)
  if(NOT EXISTS ${WORK}/${shot}.png)
    message(FATAL_ERROR "no ${shot}.png")
  endif()
endforeach()
