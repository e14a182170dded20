#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/apperror.h"
#include "platform/runtimecheck.h"
#include "store/connection.h"
#include "store/paths.h"
#include "support/fakes.h"
#include "support/tempenv.h"

namespace {

const QString kRepairQuestion =
    QStringLiteral("Error #193: ADO is not properly installed on this computer. \r\n"
                   "You need to have it installed to use this software without error.\r\n\r\n"
                   "Would you like to repair it now?");
const QString kStopQuestion = QStringLiteral("ADO is fixed on this computer. \r\n"
                                             "You need to restart your computer and software.\r\n\r\n"
                                             "Would you like to stop software now?");
const QString kExplanation = QStringLiteral(
    "Please check for MDAC installation.\r\n\r\n"
    "Please check this: https://support.microsoft.com/kb/2640696 and look for 'How to obtain this update' "
    "section and download the appropriate update.\r\n\r\n"
    "Please email support@marrowind.example with a screenshot of this message if you have any questions.");

// A machine whose store objects cannot be made, an application folder whose
// name has blanks, and the user's answers scripted.
class RuntimeCheck : public testing::Test {
protected:
    RuntimeCheck()
    {
        mAppFolder = mEnv.root() + QStringLiteral("/my programs/Rondexa app");
        QDir().mkpath(mAppFolder);
    }

    // The check in a session over the application folder, its message boxes
    // going to sink.
    bool check(MessageSink& sink)
    {
        Messages seam(sink);
        Session session(seam, mEnd, mAppFolder);
        session.storeObjects = mFactory;
        session.addressWidth = mWidth;
        return IsADOInstalled(session);
    }
    bool check() { return check(mMessages); }

    // A package that leaves a marker beside itself when it has run to its end.
    QString addPackage(const QString& name, int exitCode = 0)
    {
        const QString path = mAppFolder + QLatin1Char('/') + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(
            QStringLiteral("#!/bin/sh\n/bin/sleep 0.2\necho done > \"$0.ran\"\nexit %1\n").arg(exitCode).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    bool ran(const QString& name) const { return QFile::exists(mAppFolder + QLatin1Char('/') + name + ".ran"); }

    TempEnv mEnv{false};
    QString mAppFolder;
    ScriptedMessages mMessages;
    RecordedEnd mEnd;
    std::function<StoreObjects()> mFactory = []() -> StoreObjects {
        throw AppError(QStringLiteral("Class not registered"), 429);
    };
    std::function<QString()> mWidth;
};

// Checks at the moment the second question is asked that the package has
// already run to its end.
class MessagesCheckingPackage : public ScriptedMessages {
public:
    explicit MessagesCheckingPackage(QString marker) : mMarker(std::move(marker)) {}
    MsgAnswer show(const MessageRequest& request) override
    {
        if (request.text == kStopQuestion)
            mPackageDoneWhenAsked = QFile::exists(mMarker);
        return ScriptedMessages::show(request);
    }
    bool mPackageDoneWhenAsked = false;

private:
    QString mMarker;
};

void expectQuestion(const MessageRequest& box, const QString& text)
{
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.title, QStringLiteral("Rondexa"));
}

TEST(RuntimeCheckWorking, CreatesTheObjectsAndSaysNothing)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();
    const StoreObjects objects = createStoreObjects(env.session());
    ASSERT_TRUE(objects.connection);
    EXPECT_EQ(objects.connection->state(), 1);
    EXPECT_TRUE(objects.statement);

    EXPECT_TRUE(IsADOInstalled(env.session()));
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_FALSE(end.ended());
}

TEST_F(RuntimeCheck, EveryKindOfMissingObjectAsksToRepair)
{
    const std::function<StoreObjects()> factories[] = {
        []() -> StoreObjects { throw AppError(QStringLiteral("Class not registered"), 429); },
        [] { return StoreObjects(); },
        [] {
            StoreObjects objects;
            objects.connection = std::make_unique<Connection>();
            return objects;
        },
    };
    for (const auto& factory : factories) {
        mFactory = factory;
        mMessages.clear();
        mMessages.answer(MsgAnswer::No);
        EXPECT_TRUE(check());
        ASSERT_EQ(mMessages.shown().size(), 2u);
        expectQuestion(mMessages.shown()[0], kRepairQuestion);
        const MessageRequest& explanation = mMessages.shown()[1];
        EXPECT_EQ(explanation.text, kExplanation);
        EXPECT_EQ(explanation.buttons, MsgButtons::Ok);
        EXPECT_EQ(explanation.icon, MsgIcon::None);
        EXPECT_EQ(explanation.title, QStringLiteral("Rondexa"));
    }
    EXPECT_FALSE(mEnd.ended());
}

TEST_F(RuntimeCheck, YesWithoutThePackageShowsNothingMore)
{
    // The other machine's package is no stand-in.
    addPackage(QStringLiteral("ADOFix86.msu"));
    mWidth = [] { return QStringLiteral("64"); };
    mMessages.answer(MsgAnswer::Yes);
    EXPECT_TRUE(check());
    ASSERT_EQ(mMessages.shown().size(), 1u);
    expectQuestion(mMessages.shown()[0], kRepairQuestion);
    EXPECT_FALSE(ran(QStringLiteral("ADOFix86.msu")));
    EXPECT_FALSE(mEnd.ended());
}

TEST_F(RuntimeCheck, PackageRunsThenYesStopsTheProgram)
{
    addPackage(QStringLiteral("ADOFix64.msu"));
    mWidth = [] { return QStringLiteral("64"); };
    MessagesCheckingPackage messages(mAppFolder + QStringLiteral("/ADOFix64.msu.ran"));
    messages.answer(MsgAnswer::Yes);
    messages.answer(MsgAnswer::Yes);

    EXPECT_FALSE(check(messages));
    EXPECT_TRUE(messages.mPackageDoneWhenAsked);
    ASSERT_EQ(messages.shown().size(), 2u);
    expectQuestion(messages.shown()[0], kRepairQuestion);
    expectQuestion(messages.shown()[1], kStopQuestion);
    EXPECT_TRUE(mEnd.ended());
    EXPECT_EQ(mEnd.status(), 0);
}

TEST_F(RuntimeCheck, PackageRunsThenNoGoesOnWhateverThePackageReturned)
{
    addPackage(QStringLiteral("ADOFix64.msu"), 1);
    mWidth = [] { return QStringLiteral("64"); };
    mMessages.answer(MsgAnswer::Yes);
    mMessages.answer(MsgAnswer::No);

    EXPECT_TRUE(check());
    EXPECT_TRUE(ran(QStringLiteral("ADOFix64.msu")));
    ASSERT_EQ(mMessages.shown().size(), 2u);
    expectQuestion(mMessages.shown()[1], kStopQuestion);
    EXPECT_FALSE(mEnd.ended());
}

TEST_F(RuntimeCheck, OnlyExactly64ChoosesThe64BitPackage)
{
    addPackage(QStringLiteral("ADOFix64.msu"));
    addPackage(QStringLiteral("ADOFix86.msu"));
    const QString widths[] = {QStringLiteral("64"),  QStringLiteral("32"),  QString(),
                              QStringLiteral("64 "), QStringLiteral("064"), QStringLiteral("x86_64")};
    for (const QString& width : widths) {
        QFile::remove(mAppFolder + QStringLiteral("/ADOFix64.msu.ran"));
        QFile::remove(mAppFolder + QStringLiteral("/ADOFix86.msu.ran"));
        mWidth = [width] { return width; };
        mMessages.answer(MsgAnswer::Yes);
        mMessages.answer(MsgAnswer::No);
        EXPECT_TRUE(check());
        const bool is64 = width == QLatin1String("64");
        EXPECT_EQ(ran(QStringLiteral("ADOFix64.msu")), is64) << width.toStdString();
        EXPECT_EQ(ran(QStringLiteral("ADOFix86.msu")), !is64) << width.toStdString();
    }
    // A width that cannot be read at all counts as empty.
    QFile::remove(mAppFolder + QStringLiteral("/ADOFix86.msu.ran"));
    mWidth = []() -> QString { throw AppError(QStringLiteral("Automation error")); };
    mMessages.answer(MsgAnswer::Yes);
    EXPECT_TRUE(check());
    EXPECT_TRUE(ran(QStringLiteral("ADOFix86.msu")));
}

TEST(AddressWidth, FollowsTheMachineName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"x86_64", "64"},  {"aarch64", "64"}, {"ppc64le", "64"}, {"ppc64", "64"},  {"s390x", "64"},
        {"riscv64", "64"}, {"mips64", "64"},  {"i686", "32"},    {"armv7l", "32"}, {"s390", "32"},
        {"riscv32", "32"}, {"ppc", "32"},     {"x86_64 ", "32"}, {"X86_64", "32"},
    };
    for (const auto& [machine, width] : cases)
        EXPECT_EQ(addressWidthOfMachine(QByteArrayView(machine)), QLatin1String(width)) << machine;
    EXPECT_TRUE(addressWidthOfMachine(QByteArrayView()).isEmpty());
    // A 64-bit build runs on a 64-bit system only.
    if (sizeof(void*) == 8)
        EXPECT_EQ(GetAddressWidth(), QStringLiteral("64"));
    else
        EXPECT_FALSE(GetAddressWidth().isEmpty());
}

class SpreadsheetCheck : public testing::Test {
protected:
    SpreadsheetCheck() : mOldPath(qgetenv("PATH")) { qputenv("PATH", QFile::encodeName(mBin.path())); }
    ~SpreadsheetCheck() override { qputenv("PATH", mOldPath); }

    void addProgram(const QString& name)
    {
        QFile file(mBin.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\nexit 0\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QTemporaryDir mBin;
    QByteArray mOldPath;
    ScriptedMessages mMessages;
    Messages mSeam{mMessages};
};

TEST_F(SpreadsheetCheck, WithoutAProgramSaysSoAndFails)
{
    // A file of the right name that cannot be run is no program.
    QFile plain(mBin.filePath(QStringLiteral("soffice")));
    plain.open(QIODevice::WriteOnly);
    plain.close();
    EXPECT_FALSE(SaveResultsAsExcelFileIsExcelInstalled(mSeam));
    ASSERT_EQ(mMessages.shown().size(), 1u);
    const MessageRequest& box = mMessages.shown()[0];
    EXPECT_EQ(box.text, QStringLiteral("Excel is not installed on this computer. You need to have it installed to "
                                       "use this software without error."));
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.title, QStringLiteral("Rondexa"));
}

TEST_F(SpreadsheetCheck, AnyOfTheProgramsWillDo)
{
    for (const char* name : {"gnumeric", "localc", "libreoffice", "soffice"}) {
        addProgram(QLatin1String(name));
        EXPECT_TRUE(SaveResultsAsExcelFileIsExcelInstalled(mSeam)) << name;
    }
    EXPECT_TRUE(mMessages.shown().empty());
}

} // namespace
