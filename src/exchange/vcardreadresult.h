#pragma once

#include <QList>
#include <QString>

#include "exchange/vcardcard.h"

// The cards of a file, or why it cannot be read; never both.
struct VCardReadResult {
    QList<VCardCard> cards;
    // From 1.
    int errorLine = 0;
    QString error;

    bool ok() const { return error.isEmpty(); }
};
