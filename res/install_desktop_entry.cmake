# Writes veska.desktop with Exec naming the binary under the install prefix, and installs it.
# Run by `cmake --install` after res/CMakeLists.txt has set VESKA_DESKTOP_IN, VESKA_DESKTOP_OUT,
# VESKA_BINDIR and VESKA_APPLICATIONS_DIR.
if(IS_ABSOLUTE "${VESKA_BINDIR}")
  set(exec "${VESKA_BINDIR}/veska")
else()
  set(exec "${CMAKE_INSTALL_PREFIX}/${VESKA_BINDIR}/veska")
endif()
if(exec MATCHES "[\n\r]")
  message(FATAL_ERROR "The install prefix holds a line break; a menu entry cannot name it")
endif()
# Desktop entries split Exec at spaces and give meaning to a few characters: such a path is
# quoted, with the characters that stay special inside quotes escaped (the escaping backslash
# itself doubled, as the file's string syntax asks), and % written as %%.
string(REPLACE "%" "%%" exec "${exec}")
if(exec MATCHES "[] \t\"'\\\\><~|&;$*?#()`[]")
  string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
  string(REGEX REPLACE "([\"`$])" "\\\\\\\\\\1" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
set(VESKA_EXEC "${exec}")
configure_file("${VESKA_DESKTOP_IN}" "${VESKA_DESKTOP_OUT}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${VESKA_APPLICATIONS_DIR}" TYPE FILE
     FILES "${VESKA_DESKTOP_OUT}")
