# Adding a whole folder: time to the last row and the longest stall of the GUI thread.
add_executable(adddir_bench ${CMAKE_CURRENT_SOURCE_DIR}/adddir_bench.cpp)
target_compile_options(adddir_bench PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(adddir_bench PRIVATE mirvane_core Qt6::Widgets)
