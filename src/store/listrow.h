#pragma once

#include <array>
#include <cstdint>

#include <QByteArray>
#include <QString>

// One contact as the list holds it: the ID's text, then the thirteen data
// columns in table order. The fourteen texts share one UTF-8 buffer: a list of
// a hundred thousand contacts then costs one allocation a row, and a text is
// only turned into a QString when something reads it.
class ListRow {
public:
    static constexpr size_t kFields = 14;

    ListRow() = default;
    explicit ListRow(const std::array<QString, kFields>& texts);

    QString operator[](size_t field) const;
    // At most maxCharacters of the field, with "…" where it was cut.
    QString shownText(size_t field, qsizetype maxCharacters) const;
    QByteArrayView utf8(size_t field) const;
    static constexpr size_t size() { return kFields; }

    // Fields are added in order, fourteen in all; take() copies them into
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
    QByteArray mText;
    // mEnds[i] is where field i ends; field i starts where field i - 1 ended.
    std::array<uint32_t, kFields> mEnds{};
};
