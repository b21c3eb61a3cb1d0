#pragma once
// The game program's entry, for the program itself and for the test host that runs it with the
// scripted service inside.

int GameEntry(int argc, char** argv);
