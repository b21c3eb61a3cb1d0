#pragma once
// Ends the program from anywhere: logs the text (when given) and leaves with exit code 0.
[[noreturn]] void ExitWithMessage(const char* text);
