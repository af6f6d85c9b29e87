# Player benchmarks (start-up, playlists, quitting, CPU while playing, memory).
add_executable(player_bench ${CMAKE_CURRENT_SOURCE_DIR}/player_bench.cpp)
target_compile_options(player_bench PRIVATE ${MIRVANE_WARNINGS})
target_include_directories(player_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests) # private_bus.h
target_link_libraries(player_bench PRIVATE mirvane_core Qt6::Widgets)

# The first read of a long playlist in a fresh process, as start-up does it.
add_executable(m3u_read_bench ${CMAKE_CURRENT_SOURCE_DIR}/m3u_read_bench.cpp)
target_compile_options(m3u_read_bench PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(m3u_read_bench PRIVATE mirvane_core Qt6::Core)
