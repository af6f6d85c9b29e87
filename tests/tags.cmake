# The tag library, the tag editor and the title lookup. Linked against the
# subsystem's object libraries directly so that other areas' work in progress cannot break it.

# The helper that the crash-safety test kills while it saves. It holds the tag library alone
# (no Qt), so that starting it again and again stays cheap.
add_executable(tags_save_child ${CMAKE_CURRENT_SOURCE_DIR}/tags_save_child.cpp
  ${PROJECT_SOURCE_DIR}/src/tags/id3v2.cpp)
target_include_directories(tags_save_child PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_options(tags_save_child PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(tags_save_child PRIVATE ZLIB::ZLIB)

# mutagen is a Debian package: ask Debian's python, not a python earlier on PATH.
find_program(MIRVANE_SYSTEM_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT MIRVANE_SYSTEM_PYTHON)
  find_program(MIRVANE_SYSTEM_PYTHON NAMES python3)
endif()

mirvane_test(tags
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/tags_load_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tags_frames_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tags_save_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tags_crash_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tags_editor_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tags_interop_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/tags_fuzz_corpus_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/tags_fuzz_harness.cpp
  LIBS core_tags core_common Qt6::Widgets ZLIB::ZLIB
  TIMEOUT 300)
target_include_directories(tags_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
target_compile_definitions(tags_test PRIVATE
  TAGS_SAVE_CHILD="$<TARGET_FILE:tags_save_child>"
  MIRVANE_PYTHON="${MIRVANE_SYSTEM_PYTHON}")
add_dependencies(tags_test tags_save_child)
