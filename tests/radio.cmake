# Internet radio: the URL streams of the audio library and the radio window, against stream
# servers started by the tests on 127.0.0.1 (a scripted one, and a real Icecast when installed).
mirvane_test(radio
  SOURCES radio_server.h radio_support.h radio_text_test.cpp radio_stream_test.cpp
          radio_window_test.cpp radio_icecast_test.cpp
  LIBS core_radio core_common mirvane_audio Qt6::Widgets
  TIMEOUT 120)

add_executable(radio_gallery radio_gallery.cpp)
target_compile_options(radio_gallery PRIVATE ${MIRVANE_WARNINGS})
target_compile_definitions(radio_gallery PRIVATE MIRVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
target_link_libraries(radio_gallery PRIVATE core_radio core_common mirvane_audio Qt6::Widgets Threads::Threads)
