# The audio library's suite: real files, real decoders, SDL2's dummy and disk drivers.
mirvane_test(audio
  SOURCES audio_streams_test.cpp audio_playback_test.cpp audio_music_test.cpp audio_capture_test.cpp
  LIBS mirvane_audio
  TIMEOUT 300)
