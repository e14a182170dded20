// One window per user and data file: a start with vCard files while the
// window is open hands them to that window and ends, and a window that has
// gone (killed, its socket left behind) never keeps a start from opening.
// Real copies of the built program, headless.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include "store/connection.h"
#include "storeprobe.h"
#include "support/tempenv.h"

namespace {

class Desktop {
public:
    Desktop()
    {
        for (const char* folder : {"/home", "/data", "/config", "/cache", "/runtime", "/bin"})
            QDir().mkpath(mRoot.path() + QLatin1String(folder));
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        mEnvironment.insert(QStringLiteral("HOME"), mRoot.path() + QStringLiteral("/home"));
        mEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), mRoot.path() + QStringLiteral("/data"));
        mEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), mRoot.path() + QStringLiteral("/config"));
        mEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"), mRoot.path() + QStringLiteral("/cache"));
        mEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        mEnvironment.insert(QStringLiteral("PATH"), mRoot.path() + QStringLiteral("/bin"));
        mEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char* sanitizer : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
            if (qEnvironmentVariableIsSet(sanitizer))
                mEnvironment.insert(QLatin1String(sanitizer), qEnvironmentVariable(sanitizer));
    }

    QString root() const { return mRoot.path(); }
    QString runtime() const { return mRoot.path() + QStringLiteral("/runtime"); }
    QString dataFile() const { return mRoot.path() + QStringLiteral("/data/Marrowind/Rondexa/dbContacts.mdb"); }

    std::unique_ptr<QProcess> start(const QStringList& arguments) const
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(mEnvironment);
        process->setWorkingDirectory(mRoot.path());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(RONDEXA_BUILD_DIR "/rondexa"), arguments);
        return process;
    }

    // The window has made its data file: it is loading or up.
    bool windowStarted(int timeoutMs) const
    {
        QElapsedTimer timer;
        timer.start();
        while (!QFileInfo::exists(dataFile()) && timer.elapsed() < timeoutMs)
            QThread::msleep(50);
        return QFileInfo::exists(dataFile());
    }

    // The names in the data file, once it holds expected; what it holds at the
    // timeout otherwise.
    QStringList namesOnceThere(const QString& expected, int timeoutMs) const
    {
        QElapsedTimer timer;
        timer.start();
        QStringList names;
        do {
            names.clear();
            try {
                Connection connection;
                connection.open(QStringLiteral("Data Source= ") + dataFile());
                for (const StoredRow& row : rowsById(connection))
                    names << row[1];
            } catch (const std::exception&) {
                // Not made yet, or busy with the import: asked again.
            }
            if (names.contains(expected))
                break;
            QThread::msleep(100);
        } while (timer.elapsed() < timeoutMs);
        return names;
    }

private:
    QTemporaryDir mRoot;
    QProcessEnvironment mEnvironment;
};

void writeCard(const QString& path, const QString& name)
{
    writeFile(path, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + name.toUtf8() + "\r\nEND:VCARD\r\n");
}

} // namespace

TEST(OneWindow, ASecondStartHandsItsFilesToTheOpenWindow)
{
    Desktop desktop;
    writeCard(desktop.root() + QStringLiteral("/friend.vcf"), QStringLiteral("Zoë O'Neil"));
    writeCard(desktop.root() + QStringLiteral("/later.vcf"), QStringLiteral("Later Friend"));

    const std::unique_ptr<QProcess> first = desktop.start({});
    ASSERT_TRUE(first->waitForStarted(30000));
    ASSERT_TRUE(desktop.windowStarted(60000)) << "the first window never came up";

    // A path relative to the second start's own folder.
    const std::unique_ptr<QProcess> second = desktop.start({QStringLiteral("friend.vcf")});
    ASSERT_TRUE(second->waitForFinished(60000)) << "the second start opened a window of its own";
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(desktop.namesOnceThere(QStringLiteral("Zoë O'Neil"), 30000).contains(QStringLiteral("Zoë O'Neil")));
    EXPECT_FALSE(first->waitForFinished(500)) << "the window ended";

    // Killed, the first leaves its socket behind: the next start is the
    // window then, and imports its files itself.
    first->kill();
    first->waitForFinished(30000);
    const std::unique_ptr<QProcess> third = desktop.start({desktop.root() + QStringLiteral("/later.vcf")});
    ASSERT_TRUE(third->waitForStarted(30000));
    EXPECT_TRUE(desktop.namesOnceThere(QStringLiteral("Later Friend"), 60000).contains(QStringLiteral("Later Friend")));
    EXPECT_FALSE(third->waitForFinished(500)) << "the start after the killed window opened none";
    third->kill();
    third->waitForFinished(30000);
}
