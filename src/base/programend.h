#pragma once

// Ends the program. The real end stops the process at once, without running
// any other window's closing code; tests record the call instead, and then it
// returns, so every caller leaves its procedure right after it.
class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    virtual void endProgram(int status) = 0;
};

class ImmediateEnd : public ProgramEnd {
public:
    void endProgram(int status) override;
};
