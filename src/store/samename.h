#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class CaseFolding;
class Connection;

// When two names are the same name for the editor's duplicate check: equal
// after full case folding, nothing trimmed or otherwise made alike.
class SameName {
public:
    SameName(const QString& name, const CaseFolding& folding);

    // Whether a name, as UTF-8 text from the list or the data file, is the
    // same name.
    bool matches(QByteArrayView name) const;

private:
    const CaseFolding& mFolding;
    QString mFolded;
    QByteArray mFoldedUtf8;
    bool mAsciiShortcut;
    bool mFoldedAscii;
};

// Whether any stored contact has the same name.
bool isNameStored(Connection& connection, const SameName& name);
