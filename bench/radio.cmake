# Internet radio: time to first sound on a localhost station, CPU of a played 128 kbit/s MP3
# stream against the same file from disk, and memory over a long stream. The station is the
# tests' scripted server, run in a child process so its work is not counted.
add_executable(radio_bench radio_bench.cpp)
target_compile_options(radio_bench PRIVATE ${MIRVANE_WARNINGS})
target_include_directories(radio_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(radio_bench PRIVATE mirvane_audio Threads::Threads)
