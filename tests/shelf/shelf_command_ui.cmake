# `veska --add` and `veska --shelf` without a display, a killed add and a killed reader.
if(TARGET veska)
  add_test(NAME shelf_command_line
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/shelf_command_test.sh $<TARGET_FILE:veska>)
  set_tests_properties(shelf_command_line PROPERTIES TIMEOUT 180 ENVIRONMENT "VESKA_LOG=")
endif()
