# All twelve effects plus a six-band equalizer on one 44.1 kHz stereo channel.
add_executable(fx_bench fx_bench.cpp)
target_compile_options(fx_bench PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(fx_bench PRIVATE mirvane_fx mirvane_fx_dsp mirvane_audio)
