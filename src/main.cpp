#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QFile>
#include <QTextStream>

#include "app/application.h"
#include "app/batchrun.h"
#include "app/startoptions.h"

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const StartOptions options = StartOptions::parse(arguments);
    const auto batch = [&argc, argv](const StartOptions& parsed) {
        // An import or export from a script needs no display.
        QCoreApplication core(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runBatch(parsed, QCoreApplication::applicationDirPath(), out, err);
    };
    // The toolkit's own options (-style, -platform, -session from the desktop
    // session ...) look unknown until it has taken them off the line. They
    // have one dash; any other unknown option is an error said without a
    // display.
    const bool toolkitOptions = std::any_of(arguments.cbegin(), arguments.cend(), [](const QString& argument) {
        return argument.startsWith(u'-') && !argument.startsWith(QStringLiteral("--")) &&
               argument != QStringLiteral("-h");
    });
    if (options.mode != StartOptions::Mode::Window && !(options.mode == StartOptions::Mode::Invalid && toolkitOptions))
        return batch(options);
    QApplication qtApplication(argc, argv);
    // What the toolkit left: the files to import, or a line still wrong.
    const StartOptions left = StartOptions::parse(QCoreApplication::arguments().mid(1));
    if (left.mode != StartOptions::Mode::Window) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runBatch(left, QCoreApplication::applicationDirPath(), out, err);
    }
    Application application;
    return application.run(left.files);
}
