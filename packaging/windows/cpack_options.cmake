# Read by cpack for each generator: only the installer's name says what it is.
if(CPACK_GENERATOR MATCHES "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
