# Compiles PO into MO with msgfmt's checks, and fails when a message is untranslated or fuzzy:
# msgfmt itself only counts them. Usage: cmake -DMSGFMT=... -DPO=... -DMO=... -P this file
execute_process(COMMAND ${MSGFMT} --check --statistics --output-file=${MO}.new ${PO}
  RESULT_VARIABLE rc ERROR_VARIABLE statistics)
string(STRIP "${statistics}" statistics)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msgfmt ${PO} failed:\n${statistics}")
endif()
if(statistics MATCHES "fuzzy|untranslated")
  file(REMOVE ${MO}.new)
  message(FATAL_ERROR "${PO} is incomplete: ${statistics}")
endif()
file(RENAME ${MO}.new ${MO})
