# The chapter list of a book with a million headings in the reader window: kept, loaded back and
# shown in "目录" (offscreen; writes a 190 MB book to /tmp once). Run it by hand.
if(VESKA_BUILD_UI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(chapter_list_bench ${CMAKE_CURRENT_LIST_DIR}/chapter_list_bench.cpp)
  target_link_libraries(chapter_list_bench PRIVATE veska_gui Qt6::Test)
endif()
