#pragma once

#include <QByteArrayView>
#include <QString>

// A stored UTF-8 text as it was written. QString::fromUtf8 drops a leading
// zero-width no-break space (it reads it as a byte order mark), which would
// change a contact behind the user's back.
QString textFromUtf8(QByteArrayView text);
