# Walks the sample arena headless in a copy of the installation and checks that a frame was shown.
include(${CMAKE_CURRENT_LIST_DIR}/../../../support/copy_install.cmake)
execute_process(COMMAND ${DEMO} --headless --install ${WORK} --script ${SCRIPT} --frames ${FRAMES} ${VIEW}
                --screenshot ${WORK}/arena.png RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "arena_demo failed: ${result}")
endif()
if(NOT EXISTS ${WORK}/arena.png)
  message(FATAL_ERROR "no frame was written")
endif()
