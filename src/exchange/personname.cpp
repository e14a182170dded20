#include "exchange/personname.h"

#include <vector>

#include <QString>

#include "exchange/vcardsyntax.h"

namespace {

// Compared without a dot or comma behind them, in any letter case.
const char* const kPrefixes[] = {"mr", "mrs", "ms", "miss", "mx", "dr", "prof", "sir", "dame", "rev", "fr", "hon"};
const char* const kSuffixes[] = {"jr", "sr", "ii", "iii", "iv", "v", "phd", "md", "dds", "esq", "mba", "msc", "bsc"};

template <size_t N> bool isWordOf(QByteArrayView word, const char* const (&words)[N])
{
    if (word.endsWith(','))
        word.chop(1);
    if (word.endsWith('.'))
        word.chop(1);
    for (const char* known : words) {
        if (word.compare(QByteArrayView(known), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray joined(const std::vector<QByteArrayView>& words, size_t from, size_t to)
{
    QByteArray result;
    for (size_t i = from; i < to; ++i) {
        if (!result.isEmpty())
            result += ' ';
        result += words[i];
    }
    return result;
}

void appendEscaped(QByteArray& out, const QByteArray& component)
{
    for (const char c : component) {
        if (c == '\\' || c == ',' || c == ';')
            out += '\\';
        out += c;
    }
}

} // namespace

PersonName PersonName::of(QByteArrayView utf8Name)
{
    // Names are nearly always written simplified already: then no copy.
    QByteArray copy;
    QByteArrayView simple = utf8Name;
    if (!vcardsyntax::isSimplified(utf8Name)) {
        copy = QString::fromUtf8(utf8Name).simplified().toUtf8();
        simple = copy;
    }
    std::vector<QByteArrayView> words;
    for (QByteArrayView rest = simple; !rest.isEmpty();) {
        const QByteArrayView word = vcardsyntax::nextPiece(rest, ' ');
        if (!word.isEmpty())
            words.push_back(word);
    }
    PersonName name;
    size_t first = 0;
    size_t end = words.size();
    while (end - first > 1 && isWordOf(words[end - 1], kSuffixes)) {
        --end;
        // "Smith, Jr." keeps its comma on the word before the suffix.
        if (words[end - 1].endsWith(','))
            words[end - 1].chop(1);
    }
    name.suffix = joined(words, end, words.size());
    while (end - first > 1 && isWordOf(words[first], kPrefixes))
        ++first;
    name.prefix = joined(words, 0, first);
    if (first == end)
        return name;
    if (end - first > 1 && words[first].endsWith(',')) {
        // "Appleseed, John Q.": the family name first.
        name.family = words[first].chopped(1).toByteArray();
        name.given = words[first + 1].toByteArray();
        name.additional = joined(words, first + 2, end);
        return name;
    }
    name.given = words[first].toByteArray();
    if (end - first > 1) {
        name.family = words[end - 1].toByteArray();
        name.additional = joined(words, first + 1, end - 1);
    }
    return name;
}

QByteArray PersonName::structuredValue() const
{
    QByteArray value;
    value.reserve(family.size() + given.size() + additional.size() + prefix.size() + suffix.size() + 8);
    appendEscaped(value, family);
    value += ';';
    appendEscaped(value, given);
    value += ';';
    appendEscaped(value, additional);
    value += ';';
    appendEscaped(value, prefix);
    value += ';';
    appendEscaped(value, suffix);
    return value;
}
