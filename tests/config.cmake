# The configuration window: credits markup and scroller, file association texts and the XDG
# store, and the window's pages driven by name inside a started program.
mirvane_test(config
  SOURCES config_credits_test.cpp config_association_test.cpp config_window_test.cpp
          player_support.h
  LIBS mirvane_core Qt6::Widgets)
