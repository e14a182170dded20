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
    if (options.mode != StartOptions::Mode::Window) {
        // An import or export from a script needs no display.
        QCoreApplication core(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runBatch(options, QCoreApplication::applicationDirPath(), out, err);
    }
    QApplication qtApplication(argc, argv);
    Application application;
    // The toolkit has taken its own options (-style, -platform ...) off the
    // line; what is left are the files to import.
    return application.run(StartOptions::parse(QCoreApplication::arguments().mid(1)).files);
}
