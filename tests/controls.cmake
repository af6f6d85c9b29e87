find_package(Qt6 REQUIRED COMPONENTS Test)
mirvane_test(controls
  SOURCES controls_test.cpp controls_slider_test.cpp controls_banner_test.cpp
    controls_spectrum_test.cpp controls_shaping_test.cpp
  LIBS core_controls core_skin core_common Qt6::Widgets Qt6::Test)

# Renders each control in its usual states to PNG files for looking at; not run by ctest.
add_executable(controls_gallery controls_gallery.cpp)
target_compile_options(controls_gallery PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(controls_gallery PRIVATE core_controls core_skin core_common Qt6::Widgets)
