# The folder and zip handed to a Windows user: build/package/Quillmont[.zip] with the tool,
# its runner (once it exists), the user guide, a readme and the licence. The package step
# also checks that the programs import nothing but Windows' own DLLs (test package_imports
# checks the same in ctest).
find_program(QM_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump REQUIRED)

set(qm_package_root ${CMAKE_BINARY_DIR}/package)
set(qm_package_dir ${qm_package_root}/Quillmont)
set(qm_package_programs $<TARGET_FILE:quillmnt> $<TARGET_FILE:quillmnt_com>)
set(qm_package_targets quillmnt quillmnt_com)
if(TARGET carrack)
  list(APPEND qm_package_programs $<TARGET_FILE:carrack>)
  list(APPEND qm_package_targets carrack)
endif()
set(qm_package_docs
  ${PROJECT_SOURCE_DIR}/docs/quillmnt.html
  ${PROJECT_SOURCE_DIR}/docs/readme.txt
  ${PROJECT_SOURCE_DIR}/LICENSE)

add_custom_target(package ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${qm_package_dir} ${qm_package_root}/Quillmont.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${qm_package_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${qm_package_programs} ${qm_package_docs} ${qm_package_dir}
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QM_OBJDUMP} "-DFILES=${qm_package_programs}"
          -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake
  COMMAND ${CMAKE_COMMAND} -E chdir ${qm_package_root}
          ${CMAKE_COMMAND} -E tar cf Quillmont.zip --format=zip Quillmont
  DEPENDS ${qm_package_targets}
  COMMENT "Packaging Quillmont into ${qm_package_root}"
  VERBATIM)

add_test(NAME package_imports
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${QM_OBJDUMP} "-DFILES=${qm_package_programs}"
          -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake)
set_tests_properties(package_imports PROPERTIES LABELS wine)
