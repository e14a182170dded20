#include "platform/runtimecheck.h"

#include <sys/utsname.h>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "base/messages.h"
#include "base/programend.h"
#include "platform/commandline.h"
#include "platform/shellandwait.h"
#include "platform/spreadsheetprogram.h"
#include "store/paths.h"
#include "store/session.h"

namespace {

const char kUpdateArticle[] = "https://support.microsoft.com/kb/2640696";
// A started program decides its own window on Linux; the style is the
// update's "hidden" all the same.
const double kHidden = 0;

QString repairQuestion()
{
    return QStringLiteral("Error #193: ADO is not properly installed on this computer. \r\n"
                          "You need to have it installed to use this software without error.\r\n\r\n"
                          "Would you like to repair it now?");
}

QString stopQuestion()
{
    return QStringLiteral("ADO is fixed on this computer. \r\n"
                          "You need to restart your computer and software.\r\n\r\n"
                          "Would you like to stop software now?");
}

QString whereToGetTheUpdate()
{
    return QStringLiteral("Please check for MDAC installation.\r\n\r\nPlease check this: ") +
           QLatin1String(kUpdateArticle) +
           QStringLiteral(" and look for 'How to obtain this update' section and download the appropriate "
                          "update.\r\n\r\nPlease email ") +
           supportEmail() + QStringLiteral(" with a screenshot of this message if you have any questions.");
}

} // namespace

StoreObjects createStoreObjects(const Session& session)
{
    return session.storeObjects ? session.storeObjects() : makeStoreObjects();
}

bool IsADOInstalled(Session& session)
{
    Messages& messages = session.messages;
    SilentTrap silent;
    StoreObjects objects;
    silent.step([&] { objects = createStoreObjects(session); });
    bool goOn = true;
    if (silent.errorNumber() != 0 || !objects.connection || !objects.statement) {
        if (messages.msgBox(repairQuestion(), MsgButtons::YesNo) == MsgAnswer::Yes) {
            QString package = session.applicationFolder + QLatin1Char('/');
            QString width;
            silent.step([&] { width = session.addressWidth ? session.addressWidth() : GetAddressWidth(); });
            package += width == QLatin1String("64") ? QStringLiteral("ADOFix64.msu") : QStringLiteral("ADOFix86.msu");
            if (FileExists(package)) {
                // Quoted, so that an application folder with blanks in its
                // name is still one word; what the package returns is not
                // looked at.
                ShellAndWait(quoteArgument(package), kHidden);
                if (messages.msgBox(stopQuestion(), MsgButtons::YesNo) == MsgAnswer::Yes) {
                    session.programEnd.endProgram(0);
                    goOn = false;
                }
            }
        } else {
            messages.msgBox(whereToGetTheUpdate());
        }
    }
    silent.clear();
    return goOn;
}

QString addressWidthOfMachine(QByteArrayView machine)
{
    if (machine.isEmpty())
        return QString();
    static const char* const kWide[] = {"x86_64",  "amd64",   "aarch64", "aarch64_be", "arm64",      "s390x",
                                        "riscv64", "sparc64", "alpha",   "ia64",       "loongarch64"};
    for (const char* name : kWide) {
        if (machine == QByteArrayView(name))
            return QStringLiteral("64");
    }
    // ppc64, ppc64le; mips64 and its variants.
    if (machine.startsWith("ppc64") || machine.startsWith("mips64"))
        return QStringLiteral("64");
    return QStringLiteral("32");
}

QString GetAddressWidth()
{
    struct utsname names {};
    if (uname(&names) != 0)
        return QString();
    return addressWidthOfMachine(QByteArrayView(names.machine));
}

bool SaveResultsAsExcelFileIsExcelInstalled(Messages& messages)
{
    bool result = true;
    SilentTrap silent;
    bool found = false;
    silent.step([&] {
        SpreadsheetProgram::find();
        found = true;
    });
    if (!found) {
        messages.msgBox(
            QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this "
                           "software without error."));
    }
    if (silent.errorNumber() != 0) {
        silent.clear();
        result = false;
    }
    return result;
}
