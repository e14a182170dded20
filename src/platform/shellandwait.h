#pragma once

#include <optional>

#include <QString>

// Added to the error number of a start that failed, so that such results are
// large negative numbers no program returns as its exit code.
inline constexpr int kStartErrorBase = -2147221504;

// Starts the command line (split into words as a shell would, see
// splitCommandLine, but never run through one) and waits for the program to
// end, letting pending events be processed every 100 ms meanwhile so the
// windows stay alive; a command clicked in that time runs in the middle of the
// wait. Returns the program's exit code (128 plus the signal's number when a
// signal ended it), or startErrorNumber(...) + kStartErrorBase at once when it
// could not be started: 53 + kStartErrorBase for a program that is not there.
// Shows no message and throws nothing for a failed start.
int ShellAndWait(const QString& commandLine, std::optional<double> windowStyle = std::nullopt);

// The window style a start is asked for: 0 hidden, 1 normal with focus, 2
// minimized with focus, 3 maximized with focus, 4 normal without focus, 6
// minimized without focus; missing, below 0, above 6 or not a number gives 6.
int effectiveWindowStyle(std::optional<double> windowStyle);
