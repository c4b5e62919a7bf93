# Fails unless the program at PROGRAM loads QtCore and neither QtGui nor QtWidgets.
#   cmake -DPROGRAM=path -P check_no_widgets.cmake
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libs RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "ldd ${PROGRAM} failed")
endif()
if(NOT libs MATCHES "libQt6Core")
  message(FATAL_ERROR "${PROGRAM} does not load QtCore; the check reads nothing:\n${libs}")
endif()
if(libs MATCHES "libQt6(Gui|Widgets)")
  message(FATAL_ERROR "${PROGRAM} loads Qt Gui or Widgets:\n${libs}")
endif()
