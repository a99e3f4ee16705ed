# `cmake --install` into a temporary prefix: layout, menu entry, where the installed program keeps
# its files, and uninstalling. Only where the program itself is built.
if(TARGET veska)
  add_test(NAME install_layout
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/install_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}
                   ${VESKA_APP_ID})
  set_tests_properties(install_layout PROPERTIES TIMEOUT 120 ENVIRONMENT "VESKA_LOG=")
endif()
# The help, the version and a usage error with no display at all.
if(TARGET veska)
  add_test(NAME command_line_without_display
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/no_display_test.sh $<TARGET_FILE:veska>)
  set_tests_properties(command_line_without_display PROPERTIES TIMEOUT 30 ENVIRONMENT "VESKA_LOG=")
endif()
