# Copies SOURCE to DESTINATION unless DESTINATION is already there: a rebuild puts the sample
# WireLab.ini beside the program once and never overwrites the user's own.
#   cmake -DSOURCE=path -DDESTINATION=path -P copy_if_missing.cmake
if(NOT EXISTS "${DESTINATION}")
  file(COPY_FILE "${SOURCE}" "${DESTINATION}")
endif()
