veska_add_bench(data_files_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/data_files_bench.cpp
                LIBS veska_settings veska_history)
