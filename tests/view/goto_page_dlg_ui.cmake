find_package(Qt6 REQUIRED COMPONENTS Test)
veska_add_test(goto_page_dlg_ui_tests QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/goto_page_dlg_ui_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/app/lsan_suppressions.cpp
  LIBS veska_gui Qt6::Test)
# With the reader window: the view's go-to-page command.
veska_add_test(goto_page_view_ui_tests QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/goto_page_view_ui_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/app/lsan_suppressions.cpp
  LIBS veska_gui Qt6::Test)
