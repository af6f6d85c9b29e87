# Audio library: decode throughput against the decoders called directly, CPU share of
# real-time playback with the FFT read 30 times a second, memory per open channel.
pkg_check_modules(AUDIO_BENCH_DEPS REQUIRED IMPORTED_TARGET libmpg123 vorbisfile sndfile libopenmpt)
add_executable(audio_bench audio_bench.cpp)
target_compile_options(audio_bench PRIVATE ${MIRVANE_WARNINGS})
target_compile_definitions(audio_bench PRIVATE
  MIRVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
  MIRVANE_SHARED_FIXTURES="${PROJECT_SOURCE_DIR}/../shared/fixtures")
target_link_libraries(audio_bench PRIVATE mirvane_audio PkgConfig::AUDIO_BENCH_DEPS Threads::Threads)

# First sound of a one-hour MP3 (made with sox and lame in the temporary folder).
add_executable(audio_start_bench audio_start_bench.cpp)
target_compile_options(audio_start_bench PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(audio_start_bench PRIVATE mirvane_audio Threads::Threads)
