#pragma once
// Ends the program from anywhere: logs the text (when given), then closes the window, whose
// pump ends the process with exit code 0.
[[noreturn]] void ExitWithMessage(const char* text);
