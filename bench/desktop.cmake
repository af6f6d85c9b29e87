# The remote control's cost: Position queries over a private session bus.
add_executable(desktop_bench ${CMAKE_CURRENT_SOURCE_DIR}/desktop_bench.cpp)
target_compile_options(desktop_bench PRIVATE ${MIRVANE_WARNINGS})
target_include_directories(desktop_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(desktop_bench PRIVATE mirvane_core Qt6::Widgets Qt6::DBus)
