# Adding a whole folder: the folder walk, the search on its worker thread and the dialog in a
# started program.
mirvane_test(adddir SOURCES adddir_walk_test.cpp LIBS mirvane_core Qt6::Widgets)
