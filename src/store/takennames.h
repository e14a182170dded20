#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

class CaseFolding;

// The names the editor would refuse as already there, folded as it compares
// them (SameName), kept as UTF-8: a name is folded straight from the file's
// bytes, without a QString of it. A name held twice goes when both have gone.
class TakenNames {
public:
    explicit TakenNames(const CaseFolding& folding) : mFolding(folding) {}

    void add(QByteArrayView name);
    void remove(QByteArrayView name);
    bool contains(QByteArrayView name);
    void clear() { mNames.clear(); }

private:
    // Valid until the next call.
    QByteArray fold(QByteArrayView name);

    const CaseFolding& mFolding;
    QHash<QByteArray, int> mNames;
    QByteArray mFolded;
};
