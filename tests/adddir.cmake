# Adding a whole folder: the folder walk, the search on its worker thread and the dialog in a
# started program.
mirvane_test(adddir
  SOURCES adddir_support.h adddir_walk_test.cpp adddir_dialog_test.cpp player_support.h
  LIBS mirvane_core Qt6::Widgets)
