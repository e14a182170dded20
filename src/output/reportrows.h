#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

class Recordset;

// The rows a report prints, read once from its data source. All texts share
// one UTF-8 buffer: a hundred thousand contacts then cost a few tens of
// megabytes instead of a million separate strings, and a text becomes a
// QString only when a page that shows it is laid out.
class ReportRows {
public:
    ReportRows() = default;
    // The columns to keep, by name; nothing is read yet.
    explicit ReportRows(QStringList fields);

    // Reads every row from the recordset's current one to its end, in the
    // order the recordset delivers them, after the rows already held. A column
    // missing from the recordset is an error, thrown before any row is read.
    void read(Recordset& recordset, const QStringList& recordsetColumns);
    // Adds one row of texts, one for each kept field.
    void append(const QStringList& texts);

    int rowCount() const { return mRowCount; }
    int fieldCount() const { return static_cast<int>(mFields.size()); }
    const QStringList& fields() const { return mFields; }
    // -1 when the field is not kept.
    int fieldIndex(const QString& name) const;
    QString text(int row, int field) const;

private:
    void appendText(const char* data, qsizetype size);

    QStringList mFields;
    std::string mText;
    // mEnds[row * fields + field] is where that text ends; it starts where the
    // one before it ended.
    std::vector<uint32_t> mEnds;
    int mRowCount = 0;
};
