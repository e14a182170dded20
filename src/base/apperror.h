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

    // The numbers the error reports quote for the program's own failures,
    // as its runtime numbered them.
    static constexpr int kInvalidCall = 5;
    static constexpr int kOverflow = 6;
    static constexpr int kOutOfMemory = 7;
    static constexpr int kTypeMismatch = 13;
    static constexpr int kFileAccess = 75;
    static constexpr int kPathNotFound = 76;
    static constexpr int kObjectNotSet = 91;
    static constexpr int kInvalidPropertyValue = 380;
    static constexpr int kIndexOutOfBounds = 35600;

    // The failures whose text is always the same.
    static AppError indexOutOfBounds();
    static AppError objectNotSet();
    static AppError invalidPropertyValue();

private:
    int mNumber;
};
