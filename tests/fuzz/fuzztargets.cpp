// The fuzz target bodies, built into the replay. The test executables link
// the support library only, so the replay compiles the harness itself: these
// files are the fuzzers' checks, not program code, and the libFuzzer build
// compiles the same files into its own library.
#include "../../fuzz/targets/fuzztargets.cpp"
#include "../../fuzz/targets/commandlinetarget.cpp"
#include "../../fuzz/targets/fuzzinput.cpp"
#include "../../fuzz/targets/statementstarget.cpp"
#include "../../fuzz/targets/storeddatetarget.cpp"
#include "../../fuzz/targets/vcardtarget.cpp"
#include "../../fuzz/targets/viewsettingstarget.cpp"
