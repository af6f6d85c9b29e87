# The configuration window: credits markup and scroller, file association texts and the XDG
# store, and the window's pages driven by name inside a started program.
mirvane_test(config
  SOURCES config_credits_test.cpp config_association_test.cpp config_window_test.cpp
          player_support.h
  LIBS mirvane_core Qt6::Widgets)

# Pictures of every page for docs/; not run by ctest.
add_executable(config_gallery config_gallery.cpp)
target_compile_options(config_gallery PRIVATE ${MIRVANE_WARNINGS})
target_link_libraries(config_gallery PRIVATE mirvane_core Qt6::Widgets)
