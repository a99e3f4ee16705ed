veska_add_test(true_color_tool_bar_test QT
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/true_color_tool_bar_test.cpp
  LIBS veska_gui)
# A small strip whose transparent colour is not white, served as bitmap 900.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/true_color_tool_bar_data/strip_bgr.bmp
                            PROPERTIES QT_RESOURCE_ALIAS 900.bmp)
qt_add_resources(true_color_tool_bar_test true_color_tool_bar_strips PREFIX /bitmap
                 FILES ${CMAKE_CURRENT_LIST_DIR}/true_color_tool_bar_data/strip_bgr.bmp)
