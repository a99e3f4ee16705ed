# The page turn measured from the outside: the real reader on an X server, keys sent with XTest
# and the screen read back through shared memory. Not a test: run it by hand (see the README).
if(VESKA_BUILD_UI)
  find_package(X11 REQUIRED COMPONENTS Xext Xtst)
  add_executable(x_page_bench x_page_bench.cpp)
  target_link_libraries(x_page_bench PRIVATE veska_platform X11::X11 X11::Xext X11::Xtst)
  add_dependencies(x_page_bench veska)
endif()
