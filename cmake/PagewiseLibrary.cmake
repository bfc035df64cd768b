# One static library per source folder: every .cpp in the folder (not below it).
# Folders build independently, so a half-finished folder breaks only its own targets.
function(pw_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER _sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT _sources)
    # A folder that has no code yet still gives a linkable target.
    set(_sources ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${_sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}
                             ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One GoogleTest executable per folder of tests/.
function(pw_test_folder name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT _sources)
    return()
  endif()
  add_executable(${name} ${_sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} pw_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  # The headers every test file reads (GoogleTest's, Qt's strings and widgets) are read once
  # per folder, not once per file: CI builds the suite three times over.
  set(_pch <gtest/gtest.h> <string> <vector> <QString>)
  if("gui" IN_LIST ARG_LABELS)
    list(APPEND _pch <QApplication> <QWidget>)
  endif()
  target_precompile_headers(${name} PRIVATE ${_pch})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PAGEWISE_BIN=${CMAKE_BINARY_DIR}/bin")
endfunction()
