# Fails unless copy_if_missing.cmake (SCRIPT) copies the sample where none is and keeps an
# edited copy on its next run.   cmake -DSCRIPT=path -DWORK=scratch-folder -P this-file
file(REMOVE_RECURSE "${WORK}")
file(WRITE "${WORK}/sample.ini" "[Tabs]\n")
set(copy ${CMAKE_COMMAND} -DSOURCE=${WORK}/sample.ini -DDESTINATION=${WORK}/WireLab.ini -P ${SCRIPT})
execute_process(COMMAND ${copy} COMMAND_ERROR_IS_FATAL ANY)
file(APPEND "${WORK}/WireLab.ini" "Com1=/dev/ttyUSB0\n")
execute_process(COMMAND ${copy} COMMAND_ERROR_IS_FATAL ANY)
file(READ "${WORK}/WireLab.ini" kept)
if(NOT kept STREQUAL "[Tabs]\nCom1=/dev/ttyUSB0\n")
  message(FATAL_ERROR "WireLab.ini reads \"${kept}\"")
endif()
