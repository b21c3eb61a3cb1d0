// The game program.

#include "client/game_entry.h"

int main(int argc, char** argv) { return GameEntry(argc, argv); }
