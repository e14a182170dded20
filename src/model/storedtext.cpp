#include "model/storedtext.h"

#include <QStringDecoder>

QString textFromUtf8(QByteArrayView text)
{
    if (text.size() < 3 || text[0] != '\xEF' || text[1] != '\xBB' || text[2] != '\xBF')
        return QString::fromUtf8(text);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(text);
}
