find_package(Qt6 REQUIRED COMPONENTS Test)
veska_add_test(read_mark_dlg_ui_tests QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/read_mark_dlg_ui_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/app/lsan_suppressions.cpp
  LIBS veska_gui Qt6::Test)
# With the reader window: the frame's bookmark command and reopening books.
veska_add_test(read_mark_view_ui_tests QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/read_mark_view_ui_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/app/lsan_suppressions.cpp
  LIBS veska_gui Qt6::Test)
