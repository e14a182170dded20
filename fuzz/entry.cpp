// The libFuzzer entry point of one target; RONDEXA_FUZZ_TARGET names its body.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "targets/fuzztargets.h"

namespace {

// Set by scripts/fuzz.sh when it sorts hundreds of failing inputs by fault: a
// broken invariant is then printed and the process goes on with the next input
// instead of paying a restart for each.
const bool gTriage = std::getenv("RONDEXA_FUZZ_TRIAGE") != nullptr;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        fuzz::RONDEXA_FUZZ_TARGET(data, size);
    } catch (const fuzz::InvariantBroken& e) {
        std::fprintf(stderr, "\n== invariant broken: %s\n", e.what());
        if (!gTriage)
            std::abort();
    } catch (const std::exception& e) {
        // The bodies expect the program's own errors where they can occur;
        // one that gets out is a finding too.
        std::fprintf(stderr, "\n== unexpected exception: %s\n", e.what());
        if (!gTriage)
            std::abort();
    }
    return 0;
}
