#include "fuzztargets.h"

namespace fuzz {

void require(bool holds, const char* what, const std::string& detail)
{
    if (!holds)
        throw InvariantBroken(detail.empty() ? std::string(what) : std::string(what) + ": " + detail);
}

const std::array<Target, 5>& targets()
{
    static const std::array<Target, 5> all = {{{"statements", statements},
                                               {"storeddate", storedDate},
                                               {"viewsettings", viewSettings},
                                               {"commandline", commandLine},
                                               {"vcard", vcard}}};
    return all;
}

} // namespace fuzz
