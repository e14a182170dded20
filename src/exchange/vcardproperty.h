#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "exchange/vcardparameter.h"

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
