#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// A card as read and decoded: its version, its properties with their
// parameters, and the cards of a file or why it cannot be read.

// The versions export writes; import also reads 2.1.
enum class VCardVersion { V30, V40 };

// One value of one parameter. A parameter with several values (TYPE=work,voice,
// or 2.1's bare TEL;WORK;VOICE) is several of these under the same name, so a
// property's parameters are one flat list.
struct VCardParameter {
    // Upper case.
    QString name;
    QString value;
};

// One content line after unfolding and transfer decoding. The value stays
// escaped so that structured values (N, ADR, ORG) can still be split at their
// separators.
struct VCardProperty {
    QString group;
    // Upper case; empty for a line that was no property and is kept as text.
    QString name;
    QList<VCardParameter> parameters;
    QString value;
    // Embedded binary data (a photo): its value is the base64 text or data:
    // URI as written, or empty when the reader skipped it.
    bool binary = false;

    // The first value of that parameter; empty when it has none.
    QString parameter(QStringView parameterName) const;
    // The TYPE values in lower case, from every spelling of them.
    QStringList types() const;
    QString text() const;
    QStringList components() const;
    QStringList listValues() const;

    static QString escape(QStringView text);
    static QString unescape(QStringView text);
    // At most kMostParts parts: the last holds the rest, separators and all.
    // A value of millions of separators would cost gigabytes as parts.
    static QList<QStringView> splitEscaped(QStringView text, QChar separator);
    static constexpr qsizetype kMostParts = 1000;
};

// One card as read.
struct VCardCard {
    // Where it begins in its file, from 1.
    int line = 0;
    // What its VERSION says, empty when it says nothing.
    QString version;
    QList<VCardProperty> properties;
    // An embedded card (2.1's AGENT) was left out.
    bool embeddedCardSkipped = false;
    // Some text could not be read as written (an unknown character set,
    // bytes not valid in theirs) and has replacement characters.
    bool textReplaced = false;
};

// The cards of a file, or why it cannot be read; never both.
struct VCardReadResult {
    QList<VCardCard> cards;
    // From 1.
    int errorLine = 0;
    QString error;

    bool ok() const { return error.isEmpty(); }
};
