# The visualisation plugins: the host library against the sample plugins and against broken
# plugins built here, and the pages and windows driven by name.
set(vis_bad_dir ${CMAKE_BINARY_DIR}/vis_test_plugins)
set(vis_bad_targets "")
foreach(kind NO_ENTRY NULL_MODULE OTHER_ABI HUGE_NAME STOPS INIT_FAILS CRASHES HANGS NULL_HEADER
             NO_MODULES)
  string(TOLOWER ${kind} lower)
  if(kind MATCHES "HEADER|MODULES")
    set(file vis_bad_${lower}.so)
  else()
    set(file bad_${lower}.svp)
  endif()
  add_library(vis_bad_${lower} MODULE vis_bad_plugin.c)
  target_include_directories(vis_bad_${lower} PRIVATE ${PROJECT_SOURCE_DIR}/libs/vis/include)
  target_compile_definitions(vis_bad_${lower} PRIVATE BAD_${kind})
  get_filename_component(base ${file} NAME_WE)
  get_filename_component(ext ${file} EXT)
  set_target_properties(vis_bad_${lower} PROPERTIES PREFIX "" OUTPUT_NAME ${base} SUFFIX ${ext}
    C_VISIBILITY_PRESET hidden LIBRARY_OUTPUT_DIRECTORY ${vis_bad_dir})
  list(APPEND vis_bad_targets vis_bad_${lower})
endforeach()

mirvane_test(vis
  SOURCES vis_support.h vis_host_test.cpp vis_window_test.cpp
  LIBS core_vis core_common mirvane_vis mirvane_audio Qt6::Widgets)
target_compile_definitions(vis_test PRIVATE
  VIS_PLUGIN_DIR="${CMAKE_BINARY_DIR}/vis" VIS_BAD_PLUGIN_DIR="${vis_bad_dir}"
  VIS_HELPER="$<TARGET_FILE:mirvane-vis-helper>")
add_dependencies(vis_test mirvane_vis_plugins ${vis_bad_targets})
# The panel spectrum is a pure function of the library's own.
target_include_directories(vis_test PRIVATE ${PROJECT_SOURCE_DIR}/libs/vis/src)
