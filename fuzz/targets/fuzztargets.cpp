#include "fuzztargets.h"

namespace fuzz {

void require(bool holds, const char* what, const std::string& detail)
{
    if (!holds)
        throw InvariantBroken(detail.empty() ? std::string(what) : std::string(what) + ": " + detail);
}

const std::array<Target, 4>& targets()
{
    static const std::array<Target, 4> all = {{{"statements", statements},
                                               {"storeddate", storedDate},
                                               {"viewsettings", viewSettings},
                                               {"commandline", commandLine}}};
    return all;
}

} // namespace fuzz
