# Helpers shared by every CMakeLists of the project.

# mirvane_subsystem(<folder> SOURCES ... [LIBS ...])
# Each folder of src/ is an object library core_<folder>; mirvane_core is made of all of them,
# so a test can link just the subsystem it needs while the program links the whole core.
set_property(GLOBAL PROPERTY MIRVANE_SUBSYSTEMS "")
function(mirvane_subsystem name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(core_${name} OBJECT ${ARG_SOURCES})
  target_include_directories(core_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(core_${name} PRIVATE ${MIRVANE_WARNINGS})
  set_target_properties(core_${name} PROPERTIES AUTOMOC ON AUTORCC ON)
  target_link_libraries(core_${name} PUBLIC ${ARG_LIBS})
  set_property(GLOBAL APPEND PROPERTY MIRVANE_SUBSYSTEMS core_${name})
endfunction()

# mirvane_test(<area> SOURCES ... LIBS ...): one GoogleTest executable per area, run by ctest
# in the build folder (a runnable program folder) with no display and no sound card.
function(mirvane_test area)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${area}_test ${ARG_SOURCES})
  target_compile_options(${area}_test PRIVATE ${MIRVANE_WARNINGS})
  set_target_properties(${area}_test PROPERTIES AUTOMOC ON AUTORCC ON)
  target_link_libraries(${area}_test PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  target_compile_definitions(${area}_test PRIVATE
    MIRVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    MIRVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    MIRVANE_SHARED_FIXTURES="${PROJECT_SOURCE_DIR}/../shared/fixtures")
  add_test(NAME ${area} COMMAND ${area}_test WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 600)
  endif()
  set_tests_properties(${area} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;SDL_AUDIODRIVER=dummy;MIRVANE_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
