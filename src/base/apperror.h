#pragma once

#include <stdexcept>

#include <QString>

// A failure the error trap can report: it carries a human description (SQLite's
// text, the file system's text) and, where one exists, an error number.
class AppError : public std::runtime_error {
public:
    explicit AppError(const QString& description, int number = 0);

    QString description() const { return QString::fromUtf8(what()); }
    int number() const { return mNumber; }

private:
    int mNumber;
};
