// The game program.

#include "client/driver/game_entry.h"

int main(int argc, char** argv) { return GameEntry(argc, argv); }
