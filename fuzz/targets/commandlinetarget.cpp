// The splitter stands between a text and a started program: any text gives
// a result, and quoting words then splitting gives back the same words.
#include "fuzztargets.h"

#include "fuzzinput.h"
#include "platform/commandline.h"

namespace fuzz {

namespace {

std::string shownWords(const QStringList& words)
{
    std::string out;
    for (const QString& word : words)
        out += shown(word) + ' ';
    return out;
}

bool isOperator(QChar c)
{
    return QStringView(u"|&;<>()").contains(c);
}

void requireQuotedWordsSplitBack(const QStringList& words, const std::string& from)
{
    QStringList quoted;
    for (const QString& word : words) {
        const SplitCommandLine alone = splitCommandLine(quoteArgument(word));
        require(alone.error == SplitError::None && alone.words == QStringList{word},
                "a quoted word does not split back to itself",
                shown(word) + " quoted " + shown(quoteArgument(word)) + " from " + from);
        quoted << quoteArgument(word);
    }
    const QString line = quoted.join(QLatin1Char(' '));
    const SplitCommandLine again = splitCommandLine(line);
    require(again.error == SplitError::None && again.words == words, "quoted words do not split back",
            shownWords(words) + "-> " + shown(line) + " -> " + shownWords(again.words) + " from " + from);
}

} // namespace

void commandLine(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(bytes);
    const SplitCommandLine split = splitCommandLine(text);

    if (split.error == SplitError::None) {
        require(!split.words.isEmpty(), "a line split into no words without an error", shown(text));
        require(split.errorAt == -1, "a line split without an error has an error position", shown(text));
        requireQuotedWordsSplitBack(split.words, "split " + shown(text));
    } else {
        require(split.words.isEmpty(), "a refused line still gave words", shown(text));
        const qsizetype at = split.errorAt;
        const bool inside = at >= 0 && at < text.size();
        switch (split.error) {
        case SplitError::Empty:
            require(at == 0, "an empty line's error is not at its start", shown(text));
            break;
        case SplitError::UnclosedSingleQuote:
            require(inside && text[at] == u'\'', "an unclosed single quote is reported elsewhere", shown(text));
            break;
        case SplitError::UnclosedDoubleQuote:
            require(inside && text[at] == u'"', "an unclosed double quote is reported elsewhere", shown(text));
            break;
        case SplitError::TrailingBackslash:
            require(at == text.size() - 1 && text[at] == u'\\', "a trailing backslash is reported elsewhere",
                    shown(text));
            break;
        case SplitError::ShellOperator:
            require(inside && isOperator(text[at]), "a shell operator is reported elsewhere", shown(text));
            break;
        case SplitError::None:
            break;
        }
    }

    // The same bytes as a list of words, cut at the record separator: empty
    // words, quotes, blanks and line breaks included.
    requireQuotedWordsSplitBack(text.split(QChar(0x1e)), "words");
}

} // namespace fuzz
