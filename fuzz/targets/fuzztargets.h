#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

// The bodies of the fuzz targets. The libFuzzer build calls them for every
// generated input; the normal test run replays the kept inputs through the very
// same functions, so a finding stays a finding once the fuzzer is gone.
namespace fuzz {

// A property that has to hold for every input did not. The fuzzer turns it
// into a crash (and keeps the input); the replay turns it into a test failure.
class InvariantBroken : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Throws InvariantBroken with what and detail when holds is false.
void require(bool holds, const char* what, const std::string& detail = std::string());

void statements(const uint8_t* data, size_t size);
void storedDate(const uint8_t* data, size_t size);
void viewSettings(const uint8_t* data, size_t size);
void commandLine(const uint8_t* data, size_t size);
void vcard(const uint8_t* data, size_t size);

struct Target {
    // The folder name under fuzz/corpus and fuzz/regressions.
    const char* name;
    void (*run)(const uint8_t* data, size_t size);
};

const std::array<Target, 5>& targets();

} // namespace fuzz
