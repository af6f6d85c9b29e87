# The program as a desktop citizen: high-density screens and a Wayland session (weston and
# qt6-wayland; skipped without them). Each case runs the whole program in a child process
# with its own display settings.
find_package(Qt6 REQUIRED COMPONENTS Test)
mirvane_test(display
  SOURCES display_support.h player_hidpi_test.cpp player_wayland_test.cpp
  LIBS mirvane_core Qt6::Widgets Qt6::Test)
