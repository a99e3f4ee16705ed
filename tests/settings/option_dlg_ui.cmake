find_package(Qt6 REQUIRED COMPONENTS Test)
veska_add_test(option_dlg_ui_tests QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/option_dlg_ui_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/app/lsan_suppressions.cpp
  LIBS veska_gui Qt6::Test)
