// The libFuzzer entry point of one target; RONDEXA_FUZZ_TARGET names its body.
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "targets/fuzztargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        fuzz::RONDEXA_FUZZ_TARGET(data, size);
    } catch (const fuzz::InvariantBroken& e) {
        std::fprintf(stderr, "\n== invariant broken: %s\n", e.what());
        std::abort();
    } catch (const std::exception& e) {
        // The bodies expect the program's own errors where they can occur;
        // one that gets out is a finding too.
        std::fprintf(stderr, "\n== unexpected exception: %s\n", e.what());
        std::abort();
    }
    return 0;
}
