// mirvane [FILE]: the player; FILE, when given, is added to the playlist and played.
#include "app/startup.h"

int main(int argc, char **argv) {
    return mirvane::RunProgram(argc, argv);
}
