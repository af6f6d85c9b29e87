# The program as a desktop citizen: high-density screens and a Wayland session. Each case runs
# the whole program in a child process with its own display settings.
mirvane_test(desktop
  SOURCES desktop_support.h player_hidpi_test.cpp
  LIBS mirvane_core Qt6::Widgets)
