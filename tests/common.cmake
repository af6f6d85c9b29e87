mirvane_test(common SOURCES common_test.cpp LIBS core_common Qt6::Widgets)
