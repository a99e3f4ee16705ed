# The reader window: start-up to the first shown window, and one page step (offscreen).
if(VESKA_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  veska_add_bench(ui_bench SOURCES ui_bench.cpp LIBS veska_gui Qt6::Test)
endif()
