#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "store/takennames.h"

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

    const CaseFolding& folding() const { return mFolding; }
    // The name as given, as UTF-8.
    const QByteArray& utf8() const { return mUtf8; }

private:
    const CaseFolding& mFolding;
    QByteArray mUtf8;
    QString mFolded;
    QByteArray mFoldedUtf8;
    bool mAsciiShortcut;
    bool mFoldedAscii;
};

// The names a connection's data file holds, folded, and the state of the file
// they were read in. Every save asks whether its name is taken, and reading a
// hundred thousand names each time cost most of a save; the names are read
// again only when the file may have changed since in a way they do not know
// of: a commit of another program, or a write of this connection that did not
// tell them (an import, a delete, an undo: rare, and they cost one read).
class StoredNames {
public:
    // Whether any stored contact has the same name. Reads every name when
    // the file may have changed since; inside a write transaction the answer
    // holds until it ends.
    bool contains(Connection& connection, const SameName& name);
    // The same answer without touching the file, when the names were last
    // read or told at that data version and this connection wrote nothing
    // since that they do not know of; nothing otherwise.
    std::optional<bool> containsAsOf(Connection& connection, qint64 dataVersion, const SameName& name);
    // Inside the write transaction that just stored a contact of this name,
    // or renamed one: the names follow when they were current before it.
    // Should the transaction fail to commit, forget() has to follow.
    void added(Connection& connection, QByteArrayView name, qint64 changesBefore);
    void renamed(Connection& connection, QByteArrayView from, QByteArrayView to, qint64 changesBefore);
    void forget();

    // The number of rows this connection has changed so far, for the calls above.
    static qint64 changesSoFar(Connection& connection);

private:
    struct State {
        qint64 version = 0;
        qint64 changes = 0;
        bool operator==(const State&) const = default;
    };
    static State stateOf(Connection& connection);
    bool currentBefore(Connection& connection, qint64 changesBefore) const;

    std::optional<State> mState;
    const CaseFolding* mFolding = nullptr;
    std::optional<TakenNames> mNames;
};

// Whether any stored contact has the same name.
bool isNameStored(Connection& connection, const SameName& name);
