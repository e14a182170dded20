#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "support/davserver.h"
#include "support/editorfixture.h"
#include "sync/davclient.h"

namespace {

class SyncWindow : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        ASSERT_TRUE(folder.isValid());
        server = std::make_unique<DavServer>(DavServer::Kind::Radicale, folder.path());
        ASSERT_TRUE(server->started()) << server->error().toStdString();
    }
    // Runs a sync as the window does and waits for it to end.
    bool syncAndWait(const std::function<void()>& start)
    {
        QSignalSpy finished(&form->sync(), &SyncController::finished);
        start();
        return finished.wait(30000);
    }

    QTemporaryDir folder;
    std::unique_ptr<DavServer> server;
};

} // namespace

// The account set in the window syncs at once; what arrives later shows in
// the list with the selection kept; a server that goes away is said once.
TEST_F(SyncWindow, ArrivalsShowInTheListAndAServerDownIsSaidOnce)
{
    seed(named("Anna"));
    seed(named("Bob"));
    const AccountChoice choice{{server->root(), server->user(), server->addressBook()}, server->password()};
    ASSERT_TRUE(syncAndWait([&] { form->sync().chooseAccount([&](QWidget*, const SyncAccount&) { return choice; }); }));
    ASSERT_EQ(messages->texts().size(), 2);
    EXPECT_TRUE(messages->texts().at(0).startsWith(QStringLiteral("No Secret Service runs here")));
    EXPECT_EQ(messages->texts().at(1),
              QStringLiteral("0 received, 2 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks"));
    messages->clear();

    // Another client renames Anna; Bob stays selected.
    DavClient other(server->user(), server->password(), std::chrono::seconds(20));
    for (const DavCard& card : other.fetchAll(server->addressBook())) {
        if (card.card.contains("FN:Anna")) {
            QByteArray renamed = card.card;
            QByteArray etag;
            ASSERT_EQ(other.put(server->addressBook().resolved(QUrl(card.href)), renamed.replace("Anna", "Annika"),
                                card.etag, etag),
                      DavClient::Outcome::Done);
        }
    }
    select(rowOf(QStringLiteral("Bob")));
    ASSERT_TRUE(syncAndWait([&] { form->sync().syncNow(false); }));
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("Annika"), QStringLiteral("Bob")}));
    EXPECT_EQ(form->selectedRow(), rowOf(QStringLiteral("Bob")));
    EXPECT_TRUE(messages->texts().isEmpty()) << messages->texts().join(u'\n').toStdString();

    server.reset();
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(syncAndWait([&] { form->sync().syncNow(false); }));
    ASSERT_EQ(messages->texts().size(), 1) << messages->texts().join(u'\n').toStdString();
    EXPECT_TRUE(messages->texts().at(0).startsWith(QStringLiteral("The sync did not complete: Cannot reach")));
}
