#pragma once

#include <array>
#include <cstdint>

#include <QByteArray>
#include <QString>

#include "model/contact.h"

// One contact as the list holds it, column by column: the ID's text, then
// every field in table order. The texts share one UTF-8 buffer of exactly
// their size, behind a header of where each one ends: a list of a hundred
// thousand contacts then costs one allocation a row, and a text is only
// turned into a QString when something reads it. A row may hold only its
// first columns (the ID and the name, say); the others read as empty until
// the whole row is fetched.
class ListRow {
public:
    static constexpr size_t kFields = 1 + contact::kFieldCount;

    // The list column that shows a field.
    static constexpr size_t column(contact::Field field) { return 1 + static_cast<size_t>(contact::indexOf(field)); }

    ListRow() = default;
    explicit ListRow(const std::array<QString, kFields>& texts);

    QByteArrayView utf8(contact::Field field) const { return utf8(column(field)); }

    QString operator[](size_t field) const;
    // At most maxCharacters of the field, with "…" where it was cut.
    QString shownText(size_t field, qsizetype maxCharacters) const;
    QByteArrayView utf8(size_t field) const;
    static constexpr size_t size() { return kFields; }
    // How many columns the row holds, from the first; kFields when whole.
    size_t heldColumns() const;
    bool complete() const { return heldColumns() == kFields; }

    // Fields are added in order, up to all fourteen; take() copies them into
    // one buffer of exactly their size.
    class Builder {
    public:
        void add(QByteArrayView text);
        ListRow take();

    private:
        std::array<QByteArrayView, kFields> mTexts{};
        size_t mCount = 0;
    };

private:
    // One byte, the number of columns held; then, for each, a 32-bit offset
    // where its text ends; then the texts one after another.
    QByteArray mData;
};
