#pragma once

#include <exception>
#include <utility>

#include <QString>

class Messages;

// Where users are asked to send questions and screenshots.
QString supportEmail();

// The fixed report of an unexpected error, character for character.
QString errorReportText(const QString& description, const QString& locationTag, int line);

// "in Rondexa2021/08/31.Form1.Form_Load " and its siblings.
QString locationTag(const char* window, const char* procedure);

// The error trap of a load, closing or command procedure: a failing step is
// reported with the procedure's tag and the step's line number, then the
// procedure goes on with its next step. A procedure without a trap of its own
// simply throws; the exception ends it and the calling step reports it.
class ErrorTrap {
public:
    ErrorTrap(Messages& messages, QString tag);

    template <class F> void step(int line, F&& f)
    {
        try {
            f();
        } catch (const std::exception& e) {
            report(line, e);
        }
    }

    // A condition that cannot be evaluated counts as true: the procedure goes on
    // with the first step inside the guarded block.
    template <class F> bool test(int line, F&& condition)
    {
        try {
            return condition();
        } catch (const std::exception& e) {
            report(line, e);
            return true;
        }
    }

    // Runs a step and tells whether it went through, for the places where going
    // on step by step would act on something that failed.
    template <class F> bool attempt(int line, F&& f)
    {
        const int before = mReports;
        step(line, std::forward<F>(f));
        return mReports == before;
    }

    int reports() const { return mReports; }
    const QString& tag() const { return mTag; }
    Messages& messages() const { return mMessages; }

private:
    void report(int line, const std::exception& e);

    Messages& mMessages;
    QString mTag;
    int mReports = 0;
};

// The steps of a procedure without a trap of its own, for code that runs as a
// trapped procedure's steps elsewhere: a failing step throws and ends the
// procedure, and the caller reports it.
class NoTrap {
public:
    template <class F> void step(int, F&& f) { f(); }
    template <class F> bool test(int, F&& condition) { return condition(); }
};

// The resume-silently mode: a failing step is skipped without a word and its
// error number is kept for the procedure to look at.
class SilentTrap {
public:
    template <class F> void step(F&& f)
    {
        try {
            f();
        } catch (const std::exception& e) {
            remember(e);
        }
    }

    int errorNumber() const { return mErrorNumber; }
    void clear() { mErrorNumber = 0; }

private:
    void remember(const std::exception& e);

    int mErrorNumber = 0;
};
