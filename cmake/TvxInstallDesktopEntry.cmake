# Install step (run by `cmake --install`): writes the program's desktop entry for the prefix of
# this installation and installs it (DESTDIR honoured). Set before it: TVX_DESKTOP_ENTRY_TOOL,
# TVX_DESKTOP_ENTRY_STAGING, TVX_INSTALL_BINDIR, TVX_INSTALL_DATADIR.
foreach(_dir TVX_INSTALL_BINDIR TVX_INSTALL_DATADIR)
  if(NOT IS_ABSOLUTE "${${_dir}}")
    set(${_dir} "${CMAKE_INSTALL_PREFIX}/${${_dir}}")
  endif()
endforeach()
file(MAKE_DIRECTORY "${TVX_DESKTOP_ENTRY_STAGING}")
set(_entry "${TVX_DESKTOP_ENTRY_STAGING}/tavrixo.desktop")
execute_process(COMMAND "${TVX_DESKTOP_ENTRY_TOOL}" "${TVX_INSTALL_BINDIR}/tavrixo" "${_entry}"
  RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "The desktop entry could not be written (${_result})")
endif()
file(INSTALL DESTINATION "${TVX_INSTALL_DATADIR}/applications" TYPE FILE FILES "${_entry}")
