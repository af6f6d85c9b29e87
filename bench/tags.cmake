# Tag library benchmarks: reading title and artist of 5,000 tagged files as Unicode, and saves
# into a 50 MB file (inside the padding, 5 KB past it), beside `cp` + fsync of the same file and
# TagLib doing the same work (libtag1-dev; used by this benchmark only).
pkg_check_modules(TAGLIB IMPORTED_TARGET taglib)
if(TAGLIB_FOUND)
  add_executable(tags_bench ${CMAKE_CURRENT_SOURCE_DIR}/tags_bench.cpp)
  target_compile_options(tags_bench PRIVATE ${MIRVANE_WARNINGS})
  target_link_libraries(tags_bench PRIVATE core_tags core_common Qt6::Widgets ZLIB::ZLIB PkgConfig::TAGLIB)
else()
  message(STATUS "taglib not found: tags_bench is not built (apt-get install libtag1-dev)")
endif()
