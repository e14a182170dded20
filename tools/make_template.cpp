// Writes the empty template database that ships beside the executable.
#include <cstdio>

#include <QFile>
#include <QString>

#include "base/apperror.h"
#include "store/connection.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_template FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    file.close();
    try {
        // Opening an empty file lays out tblContact in it.
        Connection connection;
        connection.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= ") + path);
        connection.close();
    } catch (const AppError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
