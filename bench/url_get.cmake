find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
veska_add_bench(url_get_bench
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/url_get_bench.cpp
                        ${PROJECT_SOURCE_DIR}/tests/url_get/loopback_server.cpp
                LIBS veska_url_get PkgConfig::HTTPLIB)
target_include_directories(url_get_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/url_get)
