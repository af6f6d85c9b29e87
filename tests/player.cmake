# The player: settings store, playlist files, the playlist window, the engine and start-up.
mirvane_test(settings SOURCES prefs_settings_test.cpp LIBS mirvane_core Qt6::Core)
mirvane_test(m3u SOURCES m3u_format_test.cpp playlist_formats_test.cpp playlist_lengths_test.cpp
  LIBS mirvane_core Qt6::Core)
mirvane_test(player
  SOURCES player_support.h radio_server.h player_startup_test.cpp player_engine_test.cpp
          playlist_window_test.cpp player_signal_test.cpp
  LIBS mirvane_core Qt6::Widgets)
# The signal test starts the real program.
add_dependencies(player_test mirvane)
