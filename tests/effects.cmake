# The equalizer window, the "DSP effects" page and the chain that carries them from channel to
# channel, heard through SDL2's disk driver.
mirvane_test(effects
  SOURCES effects_support.h effects_window_test.cpp effects_sound_test.cpp
  LIBS mirvane_core Qt6::Widgets
  TIMEOUT 300)
