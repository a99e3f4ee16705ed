veska_add_bench(resource_data_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/resource_data_bench.cpp
                LIBS veska_text)
