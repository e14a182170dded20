// Installs the build this test belongs to into a temporary prefix, the way a
// package or `cmake --install` does, and checks what a desktop and a user get:
// the layout, the metadata the desktop reads, and the installed command
// starting from its link and finding its own template.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <unistd.h>

#include <memory>
#include <string>

#include "support/tempenv.h"

namespace {

const QString kBuildDir = QStringLiteral(RONDEXA_BUILD_DIR);
const QString kAppId = QStringLiteral("org.marrowind.Rondexa");
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// A value CMake recorded for this build folder, such as the cmake it ran.
QString cacheValue(const QString& key)
{
    const QString cache = QString::fromUtf8(readAll(kBuildDir + QStringLiteral("/CMakeCache.txt")));
    const QRegularExpression line(QStringLiteral("^") + QRegularExpression::escape(key) +
                                      QStringLiteral(":[A-Z]+=(.*)$"),
                                  QRegularExpression::MultilineOption);
    return line.match(cache).captured(1).trimmed();
}

struct Outcome {
    bool ok = false;
    QString output;
};

Outcome run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Outcome result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.output = program + QStringLiteral(" did not finish: ") + process.errorString();
        return result;
    }
    result.output = QString::fromLocal8Bit(process.readAll());
    result.ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return result;
}

// `cmake --install` of this build into a fresh temporary prefix.
class Installation {
public:
    Installation()
    {
        const QString cmake = cacheValue(QStringLiteral("CMAKE_COMMAND"));
        mInstall = run(cmake.isEmpty() ? QStringLiteral("cmake") : cmake,
                       {QStringLiteral("--install"), kBuildDir, QStringLiteral("--prefix"), prefix()});
    }
    bool ok() const { return mDir.isValid() && mInstall.ok; }
    QString log() const { return mInstall.output; }
    QString prefix() const { return mDir.path() + QStringLiteral("/prefix"); }
    QString path(const QString& relative) const { return prefix() + QLatin1Char('/') + relative; }
    QString appFolder() const { return path(QStringLiteral("lib/rondexa")); }

private:
    QTemporaryDir mDir;
    Outcome mInstall;
};

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { sInstalled = std::make_unique<Installation>(); }
    static void TearDownTestSuite() { sInstalled.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(sInstalled->ok()) << "cmake --install failed (are rondexa and dbContacts.mdb built?):\n"
                                      << sInstalled->log().toStdString();
    }

    static const Installation& installed() { return *sInstalled; }

private:
    static std::unique_ptr<Installation> sInstalled;
};

std::unique_ptr<Installation> InstallTest::sInstalled;

QMap<QString, QString> desktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    bool inEntry = false;
    for (const QByteArray& raw : readAll(path).split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.contains(QLatin1Char('=')) && !line.startsWith(QLatin1Char('#')))
            keys.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
    }
    return keys;
}

struct Metainfo {
    QString id, launchable, binary, icon, firstReleaseVersion;
    bool wellFormed = false;
};

Metainfo metainfo(const QString& path)
{
    Metainfo info;
    QXmlStreamReader xml(readAll(path));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("id"))
            info.id = xml.readElementText();
        else if (name == QLatin1String("launchable"))
            info.launchable = xml.readElementText();
        else if (name == QLatin1String("binary"))
            info.binary = xml.readElementText();
        else if (name == QLatin1String("icon"))
            info.icon = xml.readElementText();
        else if (name == QLatin1String("release") && info.firstReleaseVersion.isEmpty())
            info.firstReleaseVersion = xml.attributes().value(QLatin1String("version")).toString();
    }
    info.wellFormed = !xml.hasError();
    return info;
}

// Everything under the prefix that is not a folder, as paths relative to it.
QSet<QString> installedEntries(const QString& prefix)
{
    QSet<QString> entries;
    QDirIterator it(prefix, QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.insert(QDir(prefix).relativeFilePath(it.next()));
    return entries;
}

TEST_F(InstallTest, InstallsExactlyTheProgramItsFilesAndTheDesktopIntegration)
{
    QSet<QString> expected = {
        QStringLiteral("bin/rondexa"),
        QStringLiteral("lib/rondexa/rondexa"),
        QStringLiteral("lib/rondexa/dbContacts.mdb"),
        QStringLiteral("lib/rondexa/HAND-M.CUR"),
        QStringLiteral("lib/rondexa/rondexa.png"),
        QStringLiteral("share/applications/") + kAppId + QStringLiteral(".desktop"),
        QStringLiteral("share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml"),
        QStringLiteral("share/icons/hicolor/scalable/apps/") + kAppId + QStringLiteral(".svg"),
        QStringLiteral("share/man/man1/rondexa.1.gz"),
    };
    for (int size : kIconSizes)
        expected.insert(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + kAppId + QStringLiteral(".png"));

    const QSet<QString> actual = installedEntries(installed().prefix());
    for (const QString& missing : expected - actual)
        ADD_FAILURE() << "not installed: " << missing.toStdString();
    // Build helpers, the core library or test programs have no place on a user's machine.
    for (const QString& extra : actual - expected)
        ADD_FAILURE() << "installed but not expected: " << extra.toStdString();
}

TEST_F(InstallTest, ApplicationFolderHoldsTheRealProgramWithTheBuiltTemplateAndPointer)
{
    const QFileInfo program(installed().path(QStringLiteral("lib/rondexa/rondexa")));
    EXPECT_FALSE(program.isSymLink());
    EXPECT_TRUE(program.isFile() && program.isExecutable());

    const QByteArray builtTemplate = readAll(kBuildDir + QStringLiteral("/dbContacts.mdb"));
    ASSERT_FALSE(builtTemplate.isEmpty());
    EXPECT_TRUE(readAll(installed().path(QStringLiteral("lib/rondexa/dbContacts.mdb"))) == builtTemplate)
        << "the installed template is not the one the build made";
    EXPECT_TRUE(builtTemplate.startsWith("SQLite format 3"));

    const QString source = cacheValue(QStringLiteral("CMAKE_HOME_DIRECTORY"));
    ASSERT_FALSE(source.isEmpty());
    const QByteArray cursor = readAll(source + QStringLiteral("/data/HAND-M.CUR"));
    ASSERT_FALSE(cursor.isEmpty());
    EXPECT_TRUE(readAll(installed().path(QStringLiteral("lib/rondexa/HAND-M.CUR"))) == cursor)
        << "the installed HAND-M.CUR is not data/HAND-M.CUR";

    const QImage icon(installed().path(QStringLiteral("lib/rondexa/rondexa.png")));
    EXPECT_FALSE(icon.isNull());
}

TEST_F(InstallTest, CommandIsARelativeLinkToTheProgram)
{
    // Relative, so that the staged tree a package is made from, or a moved
    // prefix, still points at its own program.
    const QFileInfo command(installed().path(QStringLiteral("bin/rondexa")));
    ASSERT_TRUE(command.isSymLink());
    EXPECT_EQ(QFile::symLinkTarget(command.filePath()),
              QFileInfo(installed().path(QStringLiteral("lib/rondexa/rondexa"))).canonicalFilePath());
    const QByteArray link = QFile::encodeName(command.filePath());
    char target[4096] = {};
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    ASSERT_GT(length, 0);
    EXPECT_STREQ(target, "../lib/rondexa/rondexa");
}

TEST_F(InstallTest, DesktopEntryMetainfoAndIconsReferToEachOther)
{
    const QString desktopFile = kAppId + QStringLiteral(".desktop");
    const auto entry = desktopEntry(installed().path(QStringLiteral("share/applications/") + desktopFile));
    ASSERT_FALSE(entry.isEmpty());
    EXPECT_EQ(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry.value(QStringLiteral("Name")), QStringLiteral("Rondexa"));
    const QString exec = entry.value(QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
    EXPECT_TRUE(QFileInfo::exists(installed().path(QStringLiteral("bin/") + exec)))
        << "Exec names " << exec.toStdString() << ", which is not in bin/";

    const QString icon = entry.value(QStringLiteral("Icon"));
    EXPECT_TRUE(QFileInfo::exists(
        installed().path(QStringLiteral("share/icons/hicolor/scalable/apps/") + icon + QStringLiteral(".svg"))))
        << "Icon names " << icon.toStdString() << ", which the hicolor theme does not hold";
    for (int size : kIconSizes) {
        const QImage png(installed().path(QStringLiteral("share/icons/hicolor/%1x%1/apps/").arg(size) + icon +
                                          QStringLiteral(".png")));
        ASSERT_FALSE(png.isNull()) << size << "x" << size;
        // An icon theme places a picture by its folder: a wrong size is drawn scaled or cut.
        EXPECT_EQ(png.size(), QSize(size, size));
        EXPECT_TRUE(png.hasAlphaChannel()) << size << "x" << size << " would show a box around the picture";
    }

    const Metainfo info =
        metainfo(installed().path(QStringLiteral("share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml")));
    ASSERT_TRUE(info.wellFormed);
    EXPECT_EQ(info.id, kAppId);
    EXPECT_EQ(info.launchable, desktopFile);
    EXPECT_EQ(info.binary, exec);
    EXPECT_EQ(info.icon, icon);
    // Software centres show the newest release as the installed version.
    EXPECT_EQ(info.firstReleaseVersion, cacheValue(QStringLiteral("CMAKE_PROJECT_VERSION")));
}

TEST_F(InstallTest, ManualPageIsGzippedWithoutNameOrTimeStamp)
{
    const QString page = installed().path(QStringLiteral("share/man/man1/rondexa.1.gz"));
    const QByteArray gz = readAll(page);
    ASSERT_GE(gz.size(), 10);
    ASSERT_EQ(static_cast<unsigned char>(gz[0]), 0x1f);
    ASSERT_EQ(static_cast<unsigned char>(gz[1]), 0x8b);
    // gzip -n: no original file name (FLG.FNAME) and a zero time, so two
    // builds of one source give the same package.
    EXPECT_EQ(gz[3] & 0x08, 0) << "the file name is stored";
    EXPECT_EQ(gz.mid(4, 4), QByteArray(4, '\0')) << "a time stamp is stored";

    const Outcome text = run(systemTool(QStringLiteral("gzip")), {QStringLiteral("-dc"), page});
    ASSERT_TRUE(text.ok) << text.output.toStdString();
    EXPECT_TRUE(text.output.startsWith(QLatin1String(".TH RONDEXA 1 "))) << text.output.left(80).toStdString();
    EXPECT_TRUE(text.output.contains(QLatin1String("Marrowind/Rondexa/dbContacts.mdb")));
}

TEST_F(InstallTest, DesktopEntryPassesDesktopFileValidate)
{
    const QString validator = systemTool(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        GTEST_SKIP() << "desktop-file-validate is not installed (Debian package desktop-file-utils)";
    const Outcome check =
        run(validator, {installed().path(QStringLiteral("share/applications/") + kAppId + QStringLiteral(".desktop"))});
    EXPECT_TRUE(check.ok) << check.output.toStdString();
    // It exits 0 on hints and warnings too; warnings mean a desktop may ignore a key.
    EXPECT_FALSE(check.output.contains(QLatin1String("error:")) || check.output.contains(QLatin1String("warning:")))
        << check.output.toStdString();
}

TEST_F(InstallTest, MetainfoPassesAppstreamValidate)
{
    const QString validator = systemTool(QStringLiteral("appstreamcli"));
    if (validator.isEmpty())
        GTEST_SKIP() << "appstreamcli is not installed (Debian package appstream)";
    const Outcome check = run(
        validator, {QStringLiteral("validate"), QStringLiteral("--no-net"),
                    installed().path(QStringLiteral("share/metainfo/") + kAppId + QStringLiteral(".metainfo.xml"))});
    EXPECT_TRUE(check.ok) << check.output.toStdString();
}

int userVersion(sqlite3* db)
{
    sqlite3_stmt* statement = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return version;
}

QStringList columnsOf(sqlite3* db, const char* table)
{
    QStringList columns;
    sqlite3_stmt* statement = nullptr;
    const QByteArray query = QByteArray("PRAGMA table_info(") + table + ')';
    if (sqlite3_prepare_v2(db, query.constData(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 1)));
    }
    sqlite3_finalize(statement);
    return columns;
}

bool setUserVersion(const QString& file, int version)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_exec(db, ("PRAGMA user_version = " + std::to_string(version)).c_str(), nullptr, nullptr,
                            nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// Starts the installed command as a user would and checks the data file it
// makes. An installation of its own, whose template carries a mark: that tells
// the installed template apart from the build's, so a program that looked
// anywhere but beside its real executable shows up.
class InstalledProgram : public ::testing::Test {
protected:
    static constexpr int kMark = 8108;

    static void SetUpTestSuite()
    {
        sInstalled = std::make_unique<Installation>();
        sMarked = sInstalled->ok() && setUserVersion(templatePath(), kMark);
        if (sMarked)
            sMarkedTemplate = readAll(templatePath());
    }
    static void TearDownTestSuite() { sInstalled.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(sInstalled->ok()) << sInstalled->log().toStdString();
        ASSERT_TRUE(sMarked) << "could not mark " << templatePath().toStdString();
        ASSERT_TRUE(mHome.isValid());
        for (const char* folder : {"home", "runtime", "elsewhere"})
            ASSERT_TRUE(QDir(mHome.path()).mkpath(QString::fromLatin1(folder)));
        QFile::setPermissions(mHome.path() + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        mEnvironment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"})
            mEnvironment.remove(QString::fromLatin1(name));
        mEnvironment.insert(QStringLiteral("HOME"), home());
        mEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), mHome.path() + QStringLiteral("/runtime"));
        mEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    }

    static QString templatePath() { return sInstalled->appFolder() + QStringLiteral("/dbContacts.mdb"); }
    QString home() const { return mHome.path() + QStringLiteral("/home"); }
    QString scratch(const char* name) const { return mHome.path() + QLatin1Char('/') + QLatin1String(name); }

    // Starts bin/rondexa, waits up to 20 s for dataFile to be a whole copy of
    // the template, ends the program and checks the copy.
    void startAndExpectDataFile(const QString& dataFile)
    {
        QProcess program;
        program.setProcessEnvironment(mEnvironment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        // Neither the build folder nor the application folder is the working folder.
        program.setWorkingDirectory(scratch("elsewhere"));
        program.start(sInstalled->path(QStringLiteral("bin/rondexa")), {});
        ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();

        QElapsedTimer waited;
        waited.start();
        while (QFileInfo(dataFile).size() < sMarkedTemplate.size() && program.state() == QProcess::Running &&
               waited.elapsed() < 20000)
            program.waitForFinished(100);
        const bool runningAfterCopy = program.state() == QProcess::Running;
        if (runningAfterCopy) {
            program.terminate();
            if (!program.waitForFinished(10000)) {
                program.kill();
                program.waitForFinished();
            }
        }
        const std::string output = program.readAll().toStdString();
        ASSERT_TRUE(QFileInfo::exists(dataFile))
            << "no " << dataFile.toStdString() << " after " << waited.elapsed() << " ms\n"
            << output;
        EXPECT_TRUE(runningAfterCopy) << "the program ended on its own; it should run until its window closes\n"
                                      << output;

        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(dataFile).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        EXPECT_EQ(userVersion(db), kMark) << "the data file is not a copy of the installed template";
        const QStringList columns = columnsOf(db, "tblContact");
        sqlite3_close(db);
        EXPECT_EQ(columns.size(), 14) << columns.join(QLatin1Char(',')).toStdString();
        EXPECT_EQ(columns.value(0), QStringLiteral("ContactID"));
        // The program works on the copy only.
        EXPECT_TRUE(readAll(templatePath()) == sMarkedTemplate) << "the installed template was written to";
    }

    QProcessEnvironment mEnvironment;

private:
    QTemporaryDir mHome;
    static std::unique_ptr<Installation> sInstalled;
    static bool sMarked;
    static QByteArray sMarkedTemplate;
};

std::unique_ptr<Installation> InstalledProgram::sInstalled;
bool InstalledProgram::sMarked = false;
QByteArray InstalledProgram::sMarkedTemplate;

TEST_F(InstalledProgram, StartsFromTheCommandLinkAndCopiesTheInstalledTemplate)
{
    ASSERT_TRUE(QDir().mkpath(scratch("data")));
    mEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), scratch("data"));
    mEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch("config"));
    startAndExpectDataFile(scratch("data") + QStringLiteral("/Marrowind/Rondexa/dbContacts.mdb"));
}

TEST_F(InstalledProgram, FirstStartOnANewAccountCreatesTheWholeDataPath)
{
    // A new account, or root in a fresh system, has no ~/.local/share yet;
    // the all-users data folder the program was made for always exists.
    ASSERT_FALSE(QFileInfo::exists(home() + QStringLiteral("/.local")));
    startAndExpectDataFile(home() + QStringLiteral("/.local/share/Marrowind/Rondexa/dbContacts.mdb"));
}

} // namespace
