# Writes a help2man include with the help of each command (`PROGRAM help COMMAND`), so the manual
# page lists every command's options as the program has them, in the language of LOCALE.
# Usage: cmake -DPROGRAM=... -DCOMMANDS=query,batch -DSECTION=... -DLOCALE=... -DOUTPUT=... -P
set(ENV{LC_ALL} ${LOCALE})
set(ENV{LANGUAGE} "")

# Text as roff: backslashes and hyphens escaped, no line read as a request.
function(roff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  # Chinese has no spaces to break lines at: after its punctuation groff may.
  foreach(mark "，" "。" "；" "：" "、" "）")
    string(REPLACE "${mark}" "${mark}\\:" text "${text}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(page "[${SECTION}]\n.ad l\n")
string(REPLACE "," ";" COMMANDS "${COMMANDS}")
foreach(command IN LISTS COMMANDS)
  execute_process(COMMAND ${PROGRAM} help ${command} OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} help ${command} failed")
  endif()
  string(REPLACE ";" "\\;" help "${help}")
  string(REPLACE "\n" ";" lines "${help}")
  set(described FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[^ ].*: (stdlookup-cli .*)$")  # the usage line: a subsection
      roff(usage "${CMAKE_MATCH_1}")
      string(APPEND page ".SS \"${usage}\"\n${about}")
    elseif(line MATCHES "^  ([^ ].*[^ ])   +([^ ].*)$")  # an option and its description
      roff(name "${CMAKE_MATCH_1}")
      roff(text "${CMAKE_MATCH_2}")
      string(APPEND page ".TP\n\\fB${name}\\fR\n${text}\n")
    elseif(line MATCHES "^  ([^ ].*)$")  # an option whose description is on the next line
      roff(name "${CMAKE_MATCH_1}")
      string(APPEND page ".TP\n\\fB${name}\\fR\n")
    elseif(line MATCHES "^ +([^ ].*)$")
      roff(text "${CMAKE_MATCH_1}")
      string(APPEND page "${text}\n")
    elseif(NOT described AND NOT line STREQUAL "")  # the command's one-line description
      roff(text "${line}")
      set(about "${text}\n")
      set(described TRUE)
    endif()
  endforeach()
endforeach()
file(WRITE ${OUTPUT} "${page}")
