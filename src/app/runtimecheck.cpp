#include "app/runtimecheck.h"

#include <sqlite3.h>
#include <sys/utsname.h>

#include "app/apperror.h"
#include "app/errortrap.h"
#include "app/messagebox.h"
#include "app/programend.h"
#include "output/spreadsheetprogram.h"
#include "shell/commandline.h"
#include "shell/shellandwait.h"
#include "store/connection.h"
#include "store/paths.h"
#include "store/sqlitehandles.h"
#include "store/textrules.h"

namespace {

const char kUpdateArticle[] = "https://support.microsoft.com/kb/2640696";
// A started program decides its own window on Linux; the style is the
// update's "hidden" all the same.
const double kHidden = 0;

std::function<StoreObjects()> gFactory;
std::function<QString()> gAddressWidthSource;

// The search's LIKE at work: it only holds when letter case is folded outside
// ASCII too, and fully ("ß" against "SS").
const char kTextRulesProbe[] = "SELECT 'Борис' LIKE 'бор%' AND 'Straße' LIKE 'STRASSE'";

StoreObjects realStoreObjects()
{
    StoreObjects objects;
    objects.connection = std::make_unique<Connection>();
    objects.connection->openMemory();
    sqlite3* db = objects.connection->handle();
    objects.statement = prepareOne(db, QString::fromUtf8(kTextRulesProbe));
    if (check(sqlite3_step(objects.statement.get()), db) != SQLITE_ROW ||
        sqlite3_column_int(objects.statement.get(), 0) != 1)
        throw AppError(QStringLiteral("The store's case-insensitive text rules are not in place"));
    sqlite3_reset(objects.statement.get());
    // The list's name order comes from the same ICU data.
    const QByteArray upper = QStringLiteral("ÉMILE").toUtf8();
    const QByteArray lower = QStringLiteral("émile").toUtf8();
    if (compareNoCase(upper.constData(), static_cast<int>(upper.size()), lower.constData(),
                      static_cast<int>(lower.size())) != 0)
        throw AppError(QStringLiteral("The list's name order is not available"));
    return objects;
}

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

StoreObjects::StoreObjects() = default;
StoreObjects::~StoreObjects() = default;
StoreObjects::StoreObjects(StoreObjects&&) noexcept = default;
StoreObjects& StoreObjects::operator=(StoreObjects&&) noexcept = default;

void setStoreObjectsFactory(std::function<StoreObjects()> factory)
{
    gFactory = std::move(factory);
}

StoreObjects createStoreObjects()
{
    return gFactory ? gFactory() : realStoreObjects();
}

void setAddressWidthSource(std::function<QString()> source)
{
    gAddressWidthSource = std::move(source);
}

bool IsADOInstalled()
{
    SilentTrap silent;
    StoreObjects objects;
    silent.step([&] { objects = createStoreObjects(); });
    bool goOn = true;
    if (silent.errorNumber() != 0 || !objects.connection || !objects.statement) {
        if (msgBox(repairQuestion(), MsgButtons::YesNo) == MsgAnswer::Yes) {
            QString package = applicationFolder() + QLatin1Char('/');
            QString width;
            silent.step([&] { width = gAddressWidthSource ? gAddressWidthSource() : GetAddressWidth(); });
            package += width == QLatin1String("64") ? QStringLiteral("ADOFix64.msu") : QStringLiteral("ADOFix86.msu");
            if (fileExists(package)) {
                // Quoted, so that an application folder with blanks in its
                // name is still one word; what the package returns is not
                // looked at.
                ShellAndWait(quoteArgument(package), kHidden);
                if (msgBox(stopQuestion(), MsgButtons::YesNo) == MsgAnswer::Yes) {
                    endProgram(0);
                    goOn = false;
                }
            }
        } else {
            msgBox(whereToGetTheUpdate());
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

bool SaveResultsAsExcelFileIsExcelInstalled()
{
    bool result = true;
    SilentTrap silent;
    bool found = false;
    silent.step([&] {
        SpreadsheetProgram::find();
        found = true;
    });
    if (!found) {
        msgBox(QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this "
                              "software without error."));
    }
    if (silent.errorNumber() != 0) {
        silent.clear();
        result = false;
    }
    return result;
}
