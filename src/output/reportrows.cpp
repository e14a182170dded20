#include "output/reportrows.h"

#include <limits>
#include <utility>

#include "base/apperror.h"
#include "store/recordset.h"

namespace {

qsizetype indexIgnoringCase(const QStringList& names, const QString& name)
{
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

ReportRows::ReportRows(QStringList fields) : mFields(std::move(fields)) {}

void ReportRows::read(Recordset& recordset, const QStringList& recordsetColumns)
{
    std::vector<int> positions;
    for (const QString& field : mFields) {
        const auto position = indexIgnoringCase(recordsetColumns, field);
        if (position < 0)
            throw AppError(QStringLiteral("The data field '%1' is not in the data source.").arg(field));
        positions.push_back(static_cast<int>(position));
    }
    if (!recordset.eof() && recordset.fieldCount() != recordsetColumns.size())
        throw AppError(QStringLiteral("The data source has %1 columns instead of %2.")
                           .arg(recordset.fieldCount())
                           .arg(recordsetColumns.size()));
    while (!recordset.eof()) {
        const size_t textBefore = mText.size();
        try {
            for (const int position : positions) {
                const QByteArrayView text = recordset.fieldUtf8(position);
                appendText(text.data(), text.size());
            }
        } catch (...) {
            // Never keep half a row: every later row would read the wrong texts.
            mText.resize(textBefore);
            mEnds.resize(static_cast<size_t>(mRowCount) * mFields.size());
            throw;
        }
        ++mRowCount;
        recordset.moveNext();
    }
}

void ReportRows::append(const QStringList& texts)
{
    if (texts.size() != mFields.size())
        throw AppError(QStringLiteral("A row of %1 texts for %2 fields.").arg(texts.size()).arg(mFields.size()));
    for (const QString& text : texts) {
        const QByteArray utf8 = text.toUtf8();
        appendText(utf8.constData(), utf8.size());
    }
    ++mRowCount;
}

int ReportRows::fieldIndex(const QString& name) const
{
    return static_cast<int>(indexIgnoringCase(mFields, name));
}

QString ReportRows::text(int row, int field) const
{
    const size_t at = static_cast<size_t>(row) * mFields.size() + static_cast<size_t>(field);
    const uint32_t begin = at == 0 ? 0 : mEnds[at - 1];
    return QString::fromUtf8(mText.data() + begin, static_cast<qsizetype>(mEnds[at] - begin));
}

void ReportRows::appendText(const char* data, qsizetype size)
{
    if (mText.size() + static_cast<size_t>(size) > std::numeric_limits<uint32_t>::max())
        throw AppError(QStringLiteral("The report's data source is too large to print."));
    mText.append(data, static_cast<size_t>(size));
    mEnds.push_back(static_cast<uint32_t>(mText.size()));
}
