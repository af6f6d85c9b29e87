# The equalizer and the twelve effects in the player's own path: bench/effects_bench [seconds]
add_executable(effects_bench effects_bench.cpp)
target_compile_options(effects_bench PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(effects_bench PRIVATE mirvane_core Qt6::Widgets)
