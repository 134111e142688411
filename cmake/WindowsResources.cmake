# The icon and version information of the Windows programs, as a resource script of their own:
#   stdlookup_windows_resources(<target> "<file description>")
# adds ICON 1 (packaging/windows/stdlookup.ico, the drawing of the Linux icon) and a VERSIONINFO
# with the project's version to <target>; nothing when not building for Windows. No manifest:
# a program that needs one (the window's comctl32 v6) brings it in its own .rc.
#
# The .ico is made from the Linux icon's SVG:
#   for s in 16 24 32 48 64 128 256; do rsvg-convert -w $s -h $s io.github.stdlookup.stdlookup.svg -o $s.png; done
#   icotool -c -o stdlookup.ico 16.png 24.png 32.png 48.png 64.png 128.png -r 256.png
set(STDLOOKUP_WINDOWS_ICON ${CMAKE_CURRENT_LIST_DIR}/../packaging/windows/stdlookup.ico)
cmake_path(NORMAL_PATH STDLOOKUP_WINDOWS_ICON)
set(STDLOOKUP_RESOURCES_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/windows_resources.rc.in)

function(stdlookup_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(STDLOOKUP_RC_DESCRIPTION "${description}")
  set(STDLOOKUP_RC_FILE_NAME "$<TARGET_FILE_NAME:${target}>")
  set(STDLOOKUP_RC_INTERNAL_NAME "${target}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  configure_file(${STDLOOKUP_RESOURCES_TEMPLATE} ${rc}.in @ONLY)
  file(GENERATE OUTPUT ${rc} INPUT ${rc}.in)
  target_sources(${target} PRIVATE ${rc})
  # windres does not report the icon as a dependency.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${STDLOOKUP_WINDOWS_ICON})
endfunction()
