#include "exchange/propertywriter.h"

namespace {

bool needsQuoting(const QString& value)
{
    for (const QChar c : value) {
        if (c == u',' || c == u';' || c == u':')
            return true;
    }
    return false;
}

// The formats 2.1 and 3.0 name in TYPE for embedded data, and the media
// types a data: URI names them with.
struct MediaFormat {
    const char16_t* type;
    const char16_t* media;
};
const MediaFormat kFormats[] = {
    {u"JPEG", u"image/jpeg"}, {u"JPG", u"image/jpeg"}, {u"PNG", u"image/png"},   {u"GIF", u"image/gif"},
    {u"BMP", u"image/bmp"},   {u"TIFF", u"image/tiff"}, {u"WEBP", u"image/webp"}, {u"PGP", u"application/pgp-keys"},
    {u"X509", u"application/x-x509-ca-cert"},
};

const MediaFormat* formatOfType(QStringView type)
{
    for (const MediaFormat& format : kFormats) {
        if (type.compare(QStringView(format.type), Qt::CaseInsensitive) == 0)
            return &format;
    }
    return nullptr;
}

const MediaFormat* formatOfMedia(QStringView media)
{
    for (const MediaFormat& format : kFormats) {
        if (media.compare(QStringView(format.media), Qt::CaseInsensitive) == 0)
            return &format;
    }
    return nullptr;
}

QString withoutWhiteSpace(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!c.isSpace())
            result += c;
    }
    return result;
}

// A 2.1 value as 3.0 and 4.0 write it: there a bare comma separates values
// and a backslash starts an escape, and line breaks are written \n. A
// backslash before a semicolon was 2.1's own escape and stays one.
QString escaped21(const QString& value)
{
    QString result;
    result.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size() && value[i + 1] == u';') {
            result += u"\\;";
            ++i;
        } else if (c == u'\\') {
            result += u"\\\\";
        } else if (c == u',') {
            result += u"\\,";
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < value.size() && value[i + 1] == u'\n')
                ++i;
            result += u"\\n";
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

void writeProperty(FoldingWriter& out, const VCardProperty& property, VCardVersion version, QStringView fromVersion)
{
    const bool v4 = version == VCardVersion::V40;
    QList<VCardParameter> parameters;
    bool preferred = false;
    for (const VCardParameter& parameter : property.parameters) {
        // The value is decoded text now, and UTF-8.
        if (parameter.name == u"CHARSET" || parameter.name == u"ENCODING")
            continue;
        if (parameter.name == u"TYPE" && parameter.value.compare(u"pref", Qt::CaseInsensitive) == 0 && v4) {
            preferred = true;
            continue;
        }
        if (parameter.name == u"PREF" && !v4) {
            preferred = true;
            continue;
        }
        parameters.append(parameter);
    }
    if (preferred)
        parameters.append(v4 ? VCardParameter{QStringLiteral("PREF"), QStringLiteral("1")}
                             : VCardParameter{QStringLiteral("TYPE"), QStringLiteral("pref")});

    QString value = property.value;
    if (property.binary && !value.isEmpty()) {
        const bool dataUri = value.startsWith(u"data:", Qt::CaseInsensitive);
        if (v4 && !dataUri) {
            QString media = QStringLiteral("application/octet-stream");
            for (qsizetype i = 0; i < parameters.size(); ++i) {
                const MediaFormat* format = parameters[i].name == u"TYPE" ? formatOfType(parameters[i].value) : nullptr;
                if (format) {
                    media = QString::fromUtf16(format->media);
                    parameters.removeAt(i);
                    break;
                }
            }
            value = QStringLiteral("data:") + media + QStringLiteral(";base64,") + withoutWhiteSpace(value);
        } else if (!v4 && dataUri) {
            const qsizetype comma = value.indexOf(u',');
            const QStringView header = QStringView(value).mid(5, comma < 0 ? 0 : comma - 5);
            const QStringView media = header.left(header.indexOf(u';') < 0 ? header.size() : header.indexOf(u';'));
            if (const MediaFormat* format = formatOfMedia(media))
                parameters.append(VCardParameter{QStringLiteral("TYPE"), QString::fromUtf16(format->type)});
            parameters.append(VCardParameter{QStringLiteral("ENCODING"), QStringLiteral("b")});
            value = value.mid(comma + 1);
        } else if (!v4) {
            parameters.append(VCardParameter{QStringLiteral("ENCODING"), QStringLiteral("b")});
            value = withoutWhiteSpace(value);
        }
    } else if (fromVersion == u"2.1") {
        value = escaped21(value);
    } else if (value.contains(u'\n') || value.contains(u'\r')) {
        // Quoted-printable, which some 3.0 writers use too, carries real
        // line breaks; a content line cannot.
        value.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
        value.replace(u'\r', QStringLiteral("\\n"));
        value.replace(u'\n', QStringLiteral("\\n"));
    }

    if (!property.group.isEmpty()) {
        out.text(property.group, false);
        out.ascii(".");
    }
    out.text(property.name, false);
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        const VCardParameter& parameter = parameters[i];
        // Values of one parameter in a row go out as one list.
        if (i > 0 && parameters[i - 1].name == parameter.name) {
            out.ascii(",");
        } else {
            out.ascii(";");
            out.text(parameter.name, false);
            out.ascii("=");
        }
        if (needsQuoting(parameter.value)) {
            out.ascii("\"");
            out.text(parameter.value, false);
            out.ascii("\"");
        } else {
            out.text(parameter.value, false);
        }
    }
    out.ascii(":");
    out.text(value, false);
    out.endLine();
}
