#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "../../fuzz/targets/fuzztargets.h"

namespace fuzz {

// Names the target in test output instead of dumping its bytes.
void PrintTo(const Target& target, std::ostream* out)
{
    *out << target.name;
}

} // namespace fuzz

namespace {

// The repository, as the build that made this test was configured from it;
// the source file's own place where the build folder tells nothing.
QString sourceFolder()
{
    QFile cache(QStringLiteral(RONDEXA_BUILD_DIR "/CMakeCache.txt"));
    if (cache.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream lines(&cache);
        const QString key = QStringLiteral("CMAKE_HOME_DIRECTORY:INTERNAL=");
        for (QString line = lines.readLine(); !line.isNull(); line = lines.readLine()) {
            if (line.startsWith(key))
                return line.mid(key.size());
        }
    }
    return QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../..");
}

QStringList inputsIn(const QString& folder)
{
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        files << dir.filePath(name);
    return files;
}

class Replay : public testing::TestWithParam<fuzz::Target> {};

// Every seed and every input that once broke a target goes through the same
// body the fuzzer ran; a regression input that passes is a fixed fault.
TEST_P(Replay, KeptInputsHoldEveryInvariant)
{
    const fuzz::Target target = GetParam();
    const QString root = sourceFolder() + QStringLiteral("/fuzz");
    const QStringList seeds = inputsIn(root + QStringLiteral("/corpus/") + QLatin1String(target.name));
    const QStringList findings = inputsIn(root + QStringLiteral("/regressions/") + QLatin1String(target.name));
    ASSERT_FALSE(seeds.isEmpty()) << "no seed corpus under " << root.toStdString();
    for (const QString& path : seeds + findings) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray bytes = file.readAll();
        try {
            target.run(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
        } catch (const fuzz::InvariantBroken& e) {
            ADD_FAILURE() << path.toStdString() << ": " << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << path.toStdString() << ": unexpected exception " << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, testing::ValuesIn(fuzz::targets()),
                         [](const testing::TestParamInfo<fuzz::Target>& target) {
                             return std::string(target.param.name);
                         });

} // namespace
