#include "exchange/vcardcard.h"

#include "exchange/vcardsyntax.h"

QString VCardProperty::parameter(QStringView parameterName) const
{
    for (const VCardParameter& p : parameters) {
        if (p.name.compare(parameterName, Qt::CaseInsensitive) == 0)
            return p.value;
    }
    return QString();
}

QStringList VCardProperty::types() const
{
    QStringList result;
    for (const VCardParameter& p : parameters) {
        if (p.name != u"TYPE")
            continue;
        // A quoted list (TYPE="work,voice") arrives as one value.
        if (!p.value.contains(u',') && !p.value.isEmpty() && !p.value.front().isSpace() && !p.value.back().isSpace()) {
            result.append(p.value.toLower());
            continue;
        }
        for (const QStringView part : QStringView(p.value).split(u',')) {
            const QStringView trimmed = part.trimmed();
            if (!trimmed.isEmpty())
                result.append(trimmed.toString().toLower());
        }
    }
    return result;
}

QString VCardProperty::text() const
{
    // Most values hold nothing to undo; they are then shared, not copied.
    if (!value.contains(u'\\') && !value.contains(u'\r'))
        return value;
    return unescape(value);
}

QStringList VCardProperty::components() const
{
    QStringList result;
    for (const QStringView part : splitEscaped(value, u';'))
        result.append(unescape(part));
    return result;
}

QStringList VCardProperty::listValues() const
{
    QStringList result;
    for (const QStringView part : splitEscaped(value, u','))
        result.append(unescape(part));
    return result;
}

QString VCardProperty::escape(QStringView text)
{
    QString result;
    result.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'\\':
            result += u"\\\\";
            break;
        case u',':
            result += u"\\,";
            break;
        case u';':
            result += u"\\;";
            break;
        case u'\r':
            // There is no escape for a lone CR; a CRLF pair becomes one line break.
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            result += u"\\n";
            break;
        case u'\n':
            result += u"\\n";
            break;
        default:
            result += c;
        }
    }
    return result;
}

QString VCardProperty::unescape(QStringView text)
{
    QString result;
    result.reserve(text.size());
    vcardsyntax::appendUnescaped(text.data(), text.size(), result);
    return result;
}

QList<QStringView> VCardProperty::splitEscaped(QStringView text, QChar separator)
{
    QList<QStringView> parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size() && parts.size() < kMostParts - 1; ++i) {
        if (text[i] == u'\\') {
            ++i;
        } else if (text[i] == separator) {
            parts.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.append(text.mid(start));
    return parts;
}
