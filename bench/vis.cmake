# Visualisation plugins: whole-process CPU with a sample plugin drawn at 40 fps in the
# 242 x 283 window, CPU while the window is hidden, and each plugin's time per frame. Also
# shows a plugin window for screenshots (--show).
add_executable(vis_bench vis_bench.cpp)
target_compile_options(vis_bench PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(vis_bench PRIVATE core_vis core_common mirvane_vis mirvane_audio Qt6::Widgets)
target_compile_definitions(vis_bench PRIVATE VIS_PLUGIN_DIR="${CMAKE_BINARY_DIR}/vis")
add_dependencies(vis_bench mirvane_vis_plugins)
