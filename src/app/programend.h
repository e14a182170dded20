#pragma once

#include <functional>

// Ends the process at once with the given status, without running any other
// window's closing code. Tests install a handler instead; with a handler in
// place the call returns, so every caller leaves its procedure right after it.
void endProgram(int status);

void setProgramEndHandler(std::function<void(int)> handler);
