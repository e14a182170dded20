#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include <QObject>
#include <QString>
#include <QTimer>

#include "sync/syncengine.h"

class MainList;
class QProgressDialog;
class QThread;

// What the account dialog gives back; none when cancelled.
struct AccountChoice {
    SyncAccount account;
    QString password;
};
using AccountAsker = std::function<std::optional<AccountChoice>(QWidget* owner, const SyncAccount& current)>;

// The dialog of "Sync Account…": address, user, password, and the address
// books a connection test finds there to choose from.
std::optional<AccountChoice> askSyncAccount(QWidget* owner, const SyncAccount& current);

// Runs the window's syncs, one at a time, each on a thread of its own with a
// connection of its own, so that the window never waits for a server. A sync
// runs at start and every 15 minutes once an account is set, and on "Sync
// Now". One that takes longer than a second shows its progress; the list
// shows what arrived afterwards, keeping the selection and scroll position.
class SyncController : public QObject {
    Q_OBJECT
public:
    explicit SyncController(MainList& list, QObject* parent = nullptr);
    ~SyncController() override;

    // Starts the schedule when the data file has an account.
    void start();
    // "Sync Now": a sync unless one is running. interactive: a failure or a
    // mass deletion is said even when the last sync failed the same way.
    void syncNow(bool interactive = true);
    // "Sync Account…".
    void chooseAccount(const AccountAsker& ask = askSyncAccount);
    bool running() const { return mThread != nullptr; }

signals:
    // A sync ended; its summary line, or the reason it did not complete.
    void finished(const QString& line, bool completed);

private:
    struct Outcome;
    void done(const Outcome& outcome, bool interactive);

    MainList& mList;
    QTimer mSchedule;
    QTimer mSlow;
    QThread* mThread = nullptr;
    QProgressDialog* mProgress = nullptr;
    // The failure said last, so that a server that stays down is said once.
    QString mLastFailure;
    bool mAllowMassDelete = false;
    // Tells the running sync's requests to stop: the window is closing.
    std::atomic<bool> mStop = false;
};
