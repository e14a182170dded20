#include "platform/commandline.h"

namespace {

bool separatesWords(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isOperator(QChar c)
{
    return c == u'|' || c == u'&' || c == u';' || c == u'<' || c == u'>' || c == u'(' || c == u')';
}

// Inside double quotes a backslash only escapes these; before anything else it
// is an ordinary character.
bool escapableInDoubleQuotes(QChar c)
{
    return c == u'$' || c == u'`' || c == u'"' || c == u'\\' || c == u'\n';
}

bool needsNoQuotes(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'_' || u == u'@' ||
           u == u'%' || u == u'+' || u == u'=' || u == u':' || u == u',' || u == u'.' || u == u'/' || u == u'-';
}

SplitCommandLine failed(SplitError error, qsizetype at)
{
    SplitCommandLine result;
    result.error = error;
    result.errorAt = at;
    return result;
}

} // namespace

SplitCommandLine splitCommandLine(const QString& commandLine)
{
    SplitCommandLine result;
    QString word;
    // A word can be empty ('' or ""), so "no word yet" needs its own flag.
    bool inWord = false;
    const qsizetype size = commandLine.size();
    qsizetype i = 0;
    const auto endWord = [&] {
        if (inWord)
            result.words << word;
        word.clear();
        inWord = false;
    };

    while (i < size) {
        const QChar c = commandLine[i];
        if (separatesWords(c)) {
            endWord();
            ++i;
        } else if (c == u'#' && !inWord) {
            // A comment runs to the end of its line, as in a shell.
            while (i < size && commandLine[i] != u'\n')
                ++i;
        } else if (isOperator(c)) {
            return failed(SplitError::ShellOperator, i);
        } else if (c == u'\\') {
            if (i + 1 >= size)
                return failed(SplitError::TrailingBackslash, i);
            if (commandLine[i + 1] != u'\n') {
                word += commandLine[i + 1];
                inWord = true;
            }
            i += 2;
        } else if (c == u'\'') {
            const qsizetype close = commandLine.indexOf(u'\'', i + 1);
            if (close < 0)
                return failed(SplitError::UnclosedSingleQuote, i);
            word += QStringView(commandLine).mid(i + 1, close - i - 1);
            inWord = true;
            i = close + 1;
        } else if (c == u'"') {
            const qsizetype open = i++;
            inWord = true;
            bool closed = false;
            while (i < size) {
                const QChar d = commandLine[i];
                if (d == u'"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d == u'\\' && i + 1 < size && escapableInDoubleQuotes(commandLine[i + 1])) {
                    if (commandLine[i + 1] != u'\n')
                        word += commandLine[i + 1];
                    i += 2;
                } else {
                    word += d;
                    ++i;
                }
            }
            if (!closed)
                return failed(SplitError::UnclosedDoubleQuote, open);
        } else {
            word += c;
            inWord = true;
            ++i;
        }
    }
    endWord();
    if (result.words.isEmpty())
        return failed(SplitError::Empty, 0);
    return result;
}

QString quoteArgument(const QString& word)
{
    bool plain = !word.isEmpty();
    for (const QChar c : word)
        plain = plain && needsNoQuotes(c);
    if (plain)
        return word;
    QString quoted;
    quoted.reserve(word.size() + 2);
    quoted += u'"';
    for (const QChar c : word) {
        // A line break needs no backslash: before one it would join the lines.
        if (c != u'\n' && escapableInDoubleQuotes(c))
            quoted += u'\\';
        quoted += c;
    }
    quoted += u'"';
    return quoted;
}
