#include "app/programend.h"

#include <cstdio>
#include <cstdlib>

namespace {

std::function<void(int)> gHandler;

} // namespace

void endProgram(int status)
{
    if (gHandler) {
        gHandler(status);
        return;
    }
    // The connection is already closed when the program ends normally, and no
    // data is open at the two points of start-up that end it, so nothing is lost
    // by skipping the destructors of the windows still alive.
    std::fflush(nullptr);
    std::_Exit(status);
}

void setProgramEndHandler(std::function<void(int)> handler)
{
    gHandler = std::move(handler);
}
