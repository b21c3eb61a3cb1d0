# Runs the keyboard screen headless in a copy of the installation and checks the saved binding.
include(${CMAKE_CURRENT_LIST_DIR}/../../support/copy_install.cmake)
execute_process(COMMAND ${CMAKE_COMMAND} -E env GAME_CLOCK=virtual ${DEMO} --headless --install ${WORK} --script ${SCRIPT} --screenshot ${WORK}/keyboard.png
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "screens_demo failed: ${result}")
endif()
file(READ ${WORK}/user.dat user)
if(NOT user MATCHES "key04=36")
  message(FATAL_ERROR "the binding was not saved:\n${user}")
endif()

# Headless without a script no one presses Exit: the screen ends after its frames by itself.
execute_process(COMMAND ${DEMO} --headless --install ${WORK} TIMEOUT 120 RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "screens_demo without a script did not end by itself: ${result}")
endif()
