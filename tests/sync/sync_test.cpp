#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QTemporaryDir>

#include "store/connection.h"
#include "support/davserver.h"
#include "support/tempenv.h"
#include "sync/davclient.h"
#include "sync/syncengine.h"

namespace {

// What another client (a phone) leaves on the server.
const QByteArray kPhoneCard = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-1\r\nFN:Jana Novakova\r\nN:Novakova;Jana;;;\r\n"
                              "TEL;TYPE=CELL:+420 601 111 222\r\nEMAIL:jana@example.cz\r\n"
                              "ADR;TYPE=HOME:;;Kastanienallee 5;Berlin;;10435;Germany\r\nORG:Bakery Schulz\r\n"
                              "END:VCARD\r\n";

class Sync : public testing::TestWithParam<DavServer::Kind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        server = std::make_unique<DavServer>(GetParam(), folder.path());
        ASSERT_TRUE(server->started()) << server->error().toStdString();
        env.installDataFile();
        connection.open(env.connectionString());
        saveSyncAccount(connection, {server->root(), server->user(), server->addressBook()});
    }

    // Changes made the way another program makes them: straight in the file.
    void sql(const char* statement)
    {
        ASSERT_EQ(sqlite3_exec(connection.handle(), statement, nullptr, nullptr, nullptr), SQLITE_OK) << statement;
    }
    QString column(const char* query)
    {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(connection.handle(), query, -1, &statement, nullptr);
        QString value;
        if (sqlite3_step(statement) == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
        return value;
    }
    std::string sync(bool allowMassDelete = false)
    {
        DavClient client(server->user(), server->password(), std::chrono::seconds(20));
        SyncOptions options;
        options.allowMassDelete = allowMassDelete;
        options.today = QDate(2026, 12, 10);
        return syncContacts(connection, client, options).line().toStdString();
    }
    QUrl cardUrl(const QString& name) { return server->addressBook().resolved(QUrl(name)); }
    // The server's side, as the other client sees it.
    std::vector<DavCard> serverCards() { return other.fetchAll(server->addressBook()); }
    QByteArray serverCard(const QString& uid)
    {
        for (const DavCard& card : serverCards()) {
            if (card.card.contains("UID:" + uid.toUtf8()))
                return card.card;
        }
        return {};
    }
    void putThere(const QString& name, const QByteArray& card, const QByteArray& etag = {})
    {
        QByteArray newEtag;
        ASSERT_EQ(other.put(cardUrl(name), card, etag, newEtag), DavClient::Outcome::Done);
    }

    QTemporaryDir folder;
    std::unique_ptr<DavServer> server;
    TempEnv env;
    Connection connection;
    DavClient other{QStringLiteral("alice"), QStringLiteral("wonderland7"), std::chrono::seconds(20)};
};

// One address book through its life: the first sync both ways, a change on
// each side, both sides changing one contact, a deletion on each side, a
// token the server no longer knows, and the guard against mass deletion.
TEST_P(Sync, BothSidesEndEqualAndNothingIsLostSilently)
{
    putThere(QStringLiteral("phone-1.vcf"), kPhoneCard);
    sql("insert into tblContact (ContactName, Mobile1, Email) values ('Ana Desk', '+34 600 000 001', "
        "'ana@example.es')");
    sql("insert into tblContact (ContactName, Work1) values ('Bo Desk', '+46 8 000 002')");
    EXPECT_EQ(sync(), "1 received, 2 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select count(*) from tblContact"), QStringLiteral("3"));
    EXPECT_EQ(serverCards().size(), 3u);
    EXPECT_EQ(column("select Mobile1 || '|' || Email from tblContact where ContactName = 'Jana Novakova'"),
              QStringLiteral("+420 601 111 222|jana@example.cz"));
    // A second sync finds nothing to do.
    EXPECT_EQ(sync(), "0 received, 0 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks");

    // The phone changes Jana's number and e-mail; here her name and e-mail
    // change, and Bo's number.
    QByteArray phoneEdit = serverCard(QStringLiteral("phone-1"));
    phoneEdit.replace("+420 601 111 222", "+420 777 000 333").replace("jana@example.cz", "jana@phone.cz");
    const DavCard before = [&] {
        for (const DavCard& card : serverCards())
            if (card.card.contains("UID:phone-1"))
                return card;
        return DavCard();
    }();
    putThere(QStringLiteral("phone-1.vcf"), phoneEdit, before.etag);
    sql("update tblContact set ContactName = 'Jana Schulz', Email = 'jana@desk.de' where ContactName = 'Jana "
        "Novakova'");
    sql("update tblContact set Work1 = '+46 8 999 999' where ContactName = 'Bo Desk'");
    EXPECT_EQ(sync(),
              "1 received, 2 sent, 0 deleted here, 0 deleted there, 1 clashes kept in the remarks (Jana Schulz)");
    EXPECT_EQ(column("select ContactName || '|' || Mobile1 || '|' || Email || '|' || Remark from tblContact "
                     "where ContactName like 'Jana%'"),
              QStringLiteral("Jana Schulz|+420 777 000 333|jana@phone.cz|Changed here on 2026-12-10: Email: "
                             "jana@desk.de\n\nAddress (home): Kastanienallee 5, Berlin, 10435, Germany\n"
                             "Organization: Bakery Schulz"));
    // The merged card goes back whole: what has no field is still there.
    const QByteArray merged = serverCard(QStringLiteral("phone-1"));
    for (const char* line : {"FN:Jana Schulz", "TEL;TYPE=CELL:+420 777 000 333", "EMAIL:jana@phone.cz",
                             "ADR;TYPE=HOME:;;Kastanienallee 5;Berlin;;10435;Germany", "ORG:Bakery Schulz",
                             "NOTE:Changed here on 2026-12-10: Email: jana@desk.de"})
        EXPECT_TRUE(merged.contains(line)) << line << " in\n" << merged.toStdString();
    EXPECT_EQ(sync(), "0 received, 0 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks");

    // The phone deletes Jana; Bo is deleted here.
    for (const DavCard& card : serverCards()) {
        if (card.card.contains("UID:phone-1")) {
            ASSERT_EQ(other.remove(server->addressBook().resolved(QUrl(card.href)), card.etag),
                      DavClient::Outcome::Done);
        }
    }
    sql("delete from tblContact where ContactName = 'Bo Desk'");
    EXPECT_EQ(sync(), "0 received, 0 sent, 1 deleted here, 1 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select group_concat(ContactName) from tblContact"), QStringLiteral("Ana Desk"));
    ASSERT_EQ(serverCards().size(), 1u);

    // A token the server does not know: everything is compared, nothing doubles.
    sql("update tblRondexaInfo set Value = 'http://example.invalid/unknown-token' where Name = 'SyncToken'");
    EXPECT_EQ(sync(), "0 received, 0 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select count(*) from tblContact"), QStringLiteral("1"));
    EXPECT_EQ(serverCards().size(), 1u);

    // Twelve more, then the server loses all of them: the sync stops and
    // changes nothing until it is allowed.
    for (int i = 0; i < 12; ++i)
        sql("insert into tblContact (ContactName) values ('Many ' || (select count(*) from tblContact))");
    sync();
    for (const DavCard& card : serverCards()) {
        ASSERT_EQ(other.remove(server->addressBook().resolved(QUrl(card.href)), card.etag), DavClient::Outcome::Done)
            << card.href.toStdString() << " " << card.etag.toStdString();
    }
    EXPECT_THROW(sync(), MassDeletion);
    EXPECT_EQ(column("select count(*) from tblContact"), QStringLiteral("13"));
    EXPECT_EQ(sync(true), "0 received, 0 sent, 13 deleted here, 0 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select count(*) from tblContact"), QStringLiteral("0"));
}

INSTANTIATE_TEST_SUITE_P(Servers, Sync, testing::Values(DavServer::Kind::Radicale, DavServer::Kind::Xandikos),
                         [](const testing::TestParamInfo<DavServer::Kind>& p) { return DavServer::name(p.param); });

} // namespace
