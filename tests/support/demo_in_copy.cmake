# Runs DEMO headless on its own copy of the sample installation (WORK) with the options in ARGS
# (a ;-list); it must end well.
include(${CMAKE_CURRENT_LIST_DIR}/copy_install.cmake)
string(REPLACE "\\;" ";" args "${ARGS}")
execute_process(COMMAND ${DEMO} --headless --install ${WORK} ${args} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${DEMO} failed: ${result}")
endif()
