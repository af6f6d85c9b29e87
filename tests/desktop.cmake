# The desktop: the media-player remote control on a private session bus, and resuming playback.
mirvane_test(desktop
  SOURCES private_bus.h desktop_support.h player_support.h desktop_remote_test.cpp desktop_resume_test.cpp
  LIBS mirvane_core Qt6::Widgets Qt6::DBus)
