#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>

class CaseFolding;

// The names the editor would refuse as already there, folded as it compares
// them (DoesNameExist), kept as UTF-8: a name is folded straight from the
// file's bytes, without a QString of it.
class TakenNames {
public:
    explicit TakenNames(const CaseFolding& folding) : mFolding(folding) {}

    void add(QByteArrayView name);
    bool contains(QByteArrayView name);

private:
    // Valid until the next call.
    QByteArray fold(QByteArrayView name);

    const CaseFolding& mFolding;
    QSet<QByteArray> mNames;
    QByteArray mFolded;
};
