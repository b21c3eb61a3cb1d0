# Runs the main menu headless in a copy of the installation: it must end and leave its
# screenshots. It runs on the virtual clock, so the script takes the same path on a loaded machine.
include(${CMAKE_CURRENT_LIST_DIR}/../../support/copy_install.cmake)
execute_process(COMMAND ${CMAKE_COMMAND} -E env GAME_CLOCK=virtual ${DEMO} --headless --install ${WORK} --script ${SCRIPT}
                        --shot 1200 ${WORK}/menu.png --shot 2200 ${WORK}/statue.png
                        --shot 4000 ${WORK}/setup.png --shot 5800 ${WORK}/quit.png
                RESULT_VARIABLE result OUTPUT_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "menus_demo failed: ${result}\n${output}")
endif()
if(NOT output MATCHES "menu result")
  message(FATAL_ERROR "the menu did not end:\n${output}")
endif()
foreach(shot menu statue setup quit)
  if(NOT EXISTS ${WORK}/${shot}.png)
    message(FATAL_ERROR "no ${shot}.png")
  endif()
endforeach()
