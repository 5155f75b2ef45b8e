# What a Windows user gets: the folder build/package/Quillmont with the tool, its runner, the
# user guide, a readme and the licence; that folder zipped (Quillmont-<version>-x64.zip); and
# the Windows Installer package made from it (Quillmont-<version>-x64.msi, installer/).
# The package step also checks that the programs import nothing but Windows' own DLLs (test
# package_imports checks the same in ctest).
find_program(QM_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)
find_program(QM_WIXL NAMES wixl REQUIRED)

set(qm_package_root ${CMAKE_BINARY_DIR}/package)
set(qm_package_dir ${qm_package_root}/Quillmont)
set(qm_package_name Quillmont-${QM_VERSION}-x64)
set(qm_package_zip ${qm_package_root}/${qm_package_name}.zip)
set(qm_package_msi ${qm_package_root}/${qm_package_name}.msi)
set(qm_package_wxs ${PROJECT_SOURCE_DIR}/installer/quillmont.wxs)
set(qm_package_programs $<TARGET_FILE:quillmnt>)
set(qm_package_targets quillmnt)
if(TARGET carrack)
  list(APPEND qm_package_programs $<TARGET_FILE:carrack>)
  list(APPEND qm_package_targets carrack)
endif()
set(qm_package_docs
  ${PROJECT_SOURCE_DIR}/docs/quillmnt.html
  ${PROJECT_SOURCE_DIR}/docs/readme.txt
  ${PROJECT_SOURCE_DIR}/LICENSE)

add_custom_target(package ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${qm_package_dir} ${qm_package_zip} ${qm_package_msi}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qm_package_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${qm_package_programs} ${qm_package_docs} ${qm_package_dir}
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QM_OBJDUMP} "-DFILES=${qm_package_programs}"
          -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake
  COMMAND ${CMAKE_COMMAND} -E chdir ${qm_package_root}
          ${CMAKE_COMMAND} -E tar cf ${qm_package_zip} --format=zip Quillmont
  COMMAND ${CMAKE_COMMAND} -DWIXL=${QM_WIXL} -DWXS=${qm_package_wxs}
          -DSOURCE_DIR=${qm_package_dir} -DVERSION=${QM_VERSION} -DOUTPUT=${qm_package_msi}
          -P ${PROJECT_SOURCE_DIR}/cmake/build_msi.cmake
  DEPENDS ${qm_package_targets} ${qm_package_wxs} ${PROJECT_SOURCE_DIR}/cmake/build_msi.cmake
          ${PROJECT_SOURCE_DIR}/res/quillmnt.ico
  COMMENT "Packaging Quillmont into ${qm_package_root}"
  VERBATIM)

add_test(NAME package_imports
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QM_OBJDUMP} "-DFILES=${qm_package_programs}"
          -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake)
set_tests_properties(package_imports PROPERTIES LABELS wine)
