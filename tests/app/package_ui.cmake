# `cpack -G DEB` into a temporary folder: the package's files, control fields, metadata and
# manual pages. Labelled "package" so that CI can run or skip it on its own.
if(TARGET veska AND TARGET veska-pages)
  add_test(NAME package_deb
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/package_test.sh ${PROJECT_BINARY_DIR}
                   ${PROJECT_VERSION} ${VESKA_APP_ID})
  set_tests_properties(package_deb PROPERTIES TIMEOUT 240 LABELS package ENVIRONMENT "VESKA_LOG=")
endif()
