# The shelf at ten thousand books: `veska --add` of a folder tree, the 书架 window opened and
# sorted, a key typed into its filter, and the window's memory (offscreen). Run it by hand.
if(VESKA_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  veska_add_bench(shelf_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/shelf_bench.cpp
                  LIBS veska_gui Qt6::Test)
  target_compile_definitions(shelf_bench PRIVATE VESKA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_dependencies(shelf_bench veska)
endif()
