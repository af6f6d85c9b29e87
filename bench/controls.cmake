# The spectrum painter's frame time and allocations: bench/controls_bench [frames]
add_executable(controls_bench controls_bench.cpp)
target_compile_options(controls_bench PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(controls_bench PRIVATE core_controls Qt6::Widgets)
