#pragma once

#include <QString>
#include <QStringList>

// Why a command line could not be split into words.
enum class SplitError {
    None,
    Empty,
    UnclosedSingleQuote,
    UnclosedDoubleQuote,
    // A backslash at the very end: a shell would wait for a continuation line.
    TrailingBackslash,
    // An unquoted | & ; < > ( or ): only a shell could give it a meaning, and
    // no shell is run, so the line is refused rather than half carried out.
    ShellOperator,
};

struct SplitCommandLine {
    QStringList words;
    SplitError error = SplitError::None;
    // Where the fault was found, in UTF-16 units; -1 when there is none.
    qsizetype errorAt = -1;
};

// Splits a command line into words the way a POSIX shell does, without running
// one: blanks, tabs and line breaks separate words; single quotes keep every
// character; double quotes keep every character but a backslash before $ ` "
// \ or a line break; an unquoted backslash keeps the next character, and a
// backslash before a line break joins the lines. Nothing is expanded: $HOME, *
// and ~ stay as typed. Any input, however malformed, gives a result.
SplitCommandLine splitCommandLine(const QString& commandLine);

// The word in a form that splitCommandLine reads back as exactly that word.
QString quoteArgument(const QString& word);
