#include "ui/commands/synccommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>

#include "base/apperror.h"
#include "base/messages.h"
#include "store/connection.h"
#include "store/paths.h"
#include "store/session.h"
#include "sync/davclient.h"
#include "sync/syncsecret.h"
#include "ui/commands/mainlist.h"

namespace {

const QString kTitle = QStringLiteral("Sync");
// A server that says nothing for this long is taken for gone.
constexpr std::chrono::seconds kTimeout(30);
constexpr int kEveryMs = 15 * 60 * 1000;

} // namespace

std::optional<AccountChoice> askSyncAccount(QWidget* owner, const SyncAccount& current)
{
    QDialog dialog(owner);
    dialog.setWindowTitle(QStringLiteral("Sync Account"));
    auto* form = new QFormLayout(&dialog);
    auto* address = new QLineEdit(current.server.toString(), &dialog);
    address->setPlaceholderText(QStringLiteral("https://dav.example.org/"));
    auto* user = new QLineEdit(current.user, &dialog);
    auto* password = new QLineEdit(&dialog);
    password->setEchoMode(QLineEdit::Password);
    auto* insecure =
        new QCheckBox(QStringLiteral("Allow plain http to another machine (sends the password unencrypted)"), &dialog);
    // Shown once a test met a certificate the system does not trust.
    QString fingerprint = current.fingerprint;
    auto* trust = new QCheckBox(&dialog);
    const auto offerTrust = [&] {
        trust->setText(QStringLiteral("Trust the certificate of fingerprint %1, then test again")
                           .arg(fingerprint.left(23) + QStringLiteral("…")));
        trust->setVisible(true);
    };
    trust->setVisible(false);
    if (!fingerprint.isEmpty()) {
        offerTrust();
        trust->setChecked(true);
    }
    auto* books = new QComboBox(&dialog);
    auto* test = new QPushButton(QStringLiteral("Test Connection"), &dialog);
    auto* status = new QLabel(QStringLiteral("Test the connection to choose an address book."), &dialog);
    status->setWordWrap(true);
    form->addRow(QStringLiteral("Server &address:"), address);
    form->addRow(QStringLiteral("&User:"), user);
    form->addRow(QStringLiteral("&Password:"), password);
    form->addRow(QString(), insecure);
    form->addRow(QString(), trust);
    form->addRow(QString(), test);
    form->addRow(QStringLiteral("Address &book:"), books);
    form->addRow(status);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    const auto untested = [&] {
        books->clear();
        buttons->button(QDialogButtonBox::Ok)->setEnabled(false);
    };
    for (QLineEdit* edit : {address, user, password})
        QObject::connect(edit, &QLineEdit::textEdited, &dialog, untested);
    for (QCheckBox* box : {insecure, trust})
        QObject::connect(box, &QCheckBox::toggled, &dialog, untested);
    QObject::connect(test, &QPushButton::clicked, &dialog, [&] {
        untested();
        const QUrl server = QUrl::fromUserInput(address->text().trimmed());
        if (const QString refused = refusedServerUrl(server, insecure->isChecked()); !refused.isEmpty()) {
            status->setText(refused);
            return;
        }
        status->setText(QStringLiteral("Connecting to %1…").arg(server.toDisplayString()));
        QApplication::setOverrideCursor(Qt::WaitCursor);
        DavClient client(user->text(), password->text(), kTimeout);
        client.setTrustedFingerprint(trust->isChecked() ? fingerprint : QString());
        try {
            for (const DavAddressBook& book : client.discover(server))
                books->addItem(book.name, book.url);
            status->setText(books->count() == 0 ? QStringLiteral("Connected, but %1 has no address book for this user.")
                                                      .arg(server.toDisplayString())
                            : books->count() == 1 ? QStringLiteral("Connected: one address book.")
                                                  : QStringLiteral("Connected: %1 address books.").arg(books->count()));
        } catch (const AppError& e) {
            status->setText(e.description());
            if (!client.refusedFingerprint().isEmpty()) {
                fingerprint = client.refusedFingerprint();
                trust->setChecked(false);
                offerTrust();
            }
        }
        QApplication::restoreOverrideCursor();
        buttons->button(QDialogButtonBox::Ok)->setEnabled(books->count() > 0);
    });
    if (dialog.exec() != QDialog::Accepted || books->count() == 0)
        return std::nullopt;
    return AccountChoice{{QUrl::fromUserInput(address->text().trimmed()), user->text(), books->currentData().toUrl(),
                          trust->isChecked() ? fingerprint : QString()},
                         password->text()};
}

struct SyncController::Outcome {
    QString line;
    bool completed = false;
    bool massDeletion = false;
    // Something changed here, which the list has to show.
    bool changedHere = false;
    // Something the summary names that a person must hear of, even from a
    // sync they did not ask for.
    bool worthSaying = false;
};

SyncController::SyncController(MainList& list, QObject* parent) : QObject(parent), mList(list)
{
    mSchedule.setInterval(kEveryMs);
    connect(&mSchedule, &QTimer::timeout, this, [this] { syncNow(false); });
    mSlow.setSingleShot(true);
    connect(&mSlow, &QTimer::timeout, this, [this] {
        if (!mThread || mProgress)
            return;
        mProgress = new QProgressDialog(QStringLiteral("Syncing contacts with the server…"), QString(), 0, 0,
                                        mList.ownerWidget());
        mProgress->setWindowTitle(kTitle);
        mProgress->setWindowModality(Qt::NonModal);
        mProgress->setCancelButton(nullptr);
        mProgress->show();
    });
}

SyncController::~SyncController()
{
    if (mThread) {
        mStop = true;
        mThread->wait();
        delete mThread;
    }
}

void SyncController::start()
{
    try {
        if (!loadSyncAccount(mList.session().connection()))
            return;
    } catch (const AppError&) {
        return;
    }
    mSchedule.start();
    syncNow(false);
}

void SyncController::syncNow(bool interactive)
{
    if (mThread)
        return;
    const QString connectionString = dataPaths(mList.session().applicationFolder).connectionString;
    const bool allowMassDelete = std::exchange(mAllowMassDelete, false);
    // The password is read here: the keychain library serves one thread only.
    QString user;
    QString password;
    try {
        if (const std::optional<SyncAccount> account = loadSyncAccount(mList.session().connection())) {
            user = account->user;
            password = SyncSecret::load(account->secretName());
        }
    } catch (const AppError&) {
        // The sync's own opening of the file says what is wrong.
    }
    mStop = false;
    mThread = QThread::create([this, connectionString, allowMassDelete, interactive, user, password] {
        Outcome outcome;
        try {
            Connection connection;
            connection.open(connectionString);
            const std::optional<SyncAccount> account = loadSyncAccount(connection);
            if (!account)
                throw AppError(QStringLiteral("No sync account is set: choose one with \"Sync Account…\"."));
            DavClient client(account->user, account->user == user ? password : QString(), kTimeout);
            client.setTrustedFingerprint(account->fingerprint);
            client.setStop(&mStop);
            SyncOptions options;
            options.allowMassDelete = allowMassDelete;
            const SyncSummary summary = syncContacts(connection, client, options);
            outcome.line = summary.line();
            outcome.completed = true;
            outcome.changedHere = summary.received > 0 || summary.deletedHere > 0;
            outcome.worthSaying = summary.clashes > 0 || !summary.unreadable.isEmpty() ||
                                  !summary.keptDespiteDeletion.isEmpty() || !summary.refused.isEmpty();
        } catch (const MassDeletion& e) {
            outcome.line = QString::fromStdString(e.what());
            outcome.massDeletion = true;
        } catch (const AppError& e) {
            outcome.line = e.description();
        } catch (const std::exception& e) {
            outcome.line = QString::fromLocal8Bit(e.what());
        }
        QMetaObject::invokeMethod(
            this, [this, outcome, interactive] { done(outcome, interactive); }, Qt::QueuedConnection);
    });
    mThread->start();
    mSlow.start(1000);
}

void SyncController::done(const Outcome& outcome, bool interactive)
{
    mThread->wait();
    delete mThread;
    mThread = nullptr;
    mSlow.stop();
    delete mProgress;
    mProgress = nullptr;
    Messages& messages = mList.session().messages;
    if (outcome.changedHere) {
        const std::vector<int> rows = mList.selectedRows();
        QStringList ids;
        for (const int row : rows)
            ids << mList.id(row);
        mList.reloadKeepingPlace(ids);
    }
    if (outcome.completed) {
        mLastFailure.clear();
        if (interactive || outcome.worthSaying)
            messages.msgBox(outcome.line, MsgButtons::Ok, MsgIcon::None, kTitle);
    } else if (outcome.massDeletion) {
        const QString question = outcome.line + QStringLiteral("\n\nDelete them anyway?");
        if (messages.msgBox(question, MsgButtons::YesNo, MsgIcon::Exclamation, kTitle) == MsgAnswer::Yes) {
            mAllowMassDelete = true;
            syncNow(true);
        }
    } else if (interactive || outcome.line != mLastFailure) {
        // A server that stays down is said once, not every 15 minutes.
        mLastFailure = outcome.line;
        messages.msgBox(QStringLiteral("The sync did not complete: ") + outcome.line, MsgButtons::Ok,
                        MsgIcon::Exclamation, kTitle);
    }
    emit finished(outcome.line, outcome.completed);
}

void SyncController::chooseAccount(const AccountAsker& ask)
{
    Session& session = mList.session();
    std::optional<SyncAccount> current;
    try {
        current = loadSyncAccount(session.connection());
    } catch (const AppError&) {
    }
    const std::optional<AccountChoice> choice = ask(mList.ownerWidget(), current.value_or(SyncAccount()));
    if (!choice)
        return;
    SyncSecret::Kept kept = SyncSecret::Kept::File;
    try {
        kept = SyncSecret::store(choice->account.secretName(), choice->password);
        saveSyncAccount(session.connection(), choice->account);
    } catch (const AppError& e) {
        session.messages.msgBox(e.description(), MsgButtons::Ok, MsgIcon::Exclamation, kTitle);
        return;
    }
    session.messages.msgBox(SyncSecret::whereKept(kept), MsgButtons::Ok, MsgIcon::None, kTitle);
    mSchedule.start();
    syncNow(true);
}
