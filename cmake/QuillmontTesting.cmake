# GoogleTest from the sources Debian ships, built with this configuration's compiler.
set(QM_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${QM_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${QM_GTEST_SOURCE_DIR}: run scripts/setup.sh")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${QM_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

include(GoogleTest)

# qm_add_test(NAME SOURCES ... LIBS ... [LABEL native|wine] [NO_DISCOVERY])
# One GoogleTest executable. Its cases are listed at test time (not at build time), so under
# Wine the listing runs in the prefix that the test command has prepared.
function(qm_add_test name)
  cmake_parse_arguments(T "NO_DISCOVERY" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    if(WIN32)
      set(T_LABEL wine)
    else()
      set(T_LABEL native)
    endif()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  qm_target(${name})
  if(WIN32)
    # The heap checker of the test programs under Wine: a guard page behind every block.
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/heap/guarded_heap.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  if(T_NO_DISCOVERY)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                         TEST_PREFIX "${name}."
                         PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
