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
  pw_quick_to_build(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PAGEWISE_BIN=${CMAKE_BINARY_DIR}/bin")
endfunction()

# Test code is built to build quickly, not to run quickly: it mostly waits on simulated lines,
# and the code under test keeps the build's own flags. Line tables still place each failure.
# Fortifying needs optimising, so it goes too. Each folder's tests compile as one unit, since
# parsing GoogleTest's and Qt's headers once per file was most of their build.
function(pw_quick_to_build target)
  target_compile_options(${target} PRIVATE -O0 -g1 -U_FORTIFY_SOURCE)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
endfunction()
