# The effects: signal processing on its own, and the library through decode-only streams.
mirvane_test(fx_dsp SOURCES fx_dsp_test.cpp LIBS mirvane_fx_dsp)
mirvane_test(fx SOURCES fx_test.cpp LIBS mirvane_fx mirvane_audio)
