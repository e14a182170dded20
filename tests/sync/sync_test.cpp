#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QTemporaryDir>

#include "store/connection.h"
#include "support/davserver.h"
#include "support/secondclient.h"
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
        server = std::make_unique<DavServer>(GetParam(), folder.path() + QStringLiteral("/server"));
        ASSERT_TRUE(server->started()) << server->error().toStdString();
        phone = std::make_unique<SecondClient>(folder.path() + QStringLiteral("/phone"), server->addressBook(),
                                               server->user(), server->password());
        env.installDataFile();
        connection.open(env.connectionString());
        saveSyncAccount(connection, {server->root(), server->user(), server->addressBook()});
    }

    // Changes made the way another program makes them: straight in the file.
    void sql(const char* statement)
    {
        ASSERT_EQ(sqlite3_exec(connection.handle(), statement, nullptr, nullptr, nullptr), SQLITE_OK) << statement;
    }
    QString column(const char* query) { return firstValueIn(env.dataFile(), query); }
    std::string sync(bool allowMassDelete = false)
    {
        DavClient client(server->user(), server->password(), std::chrono::seconds(20));
        SyncOptions options;
        options.allowMassDelete = allowMassDelete;
        options.today = QDate(2026, 12, 10);
        return syncContacts(connection, client, options).line().toStdString();
    }
    void phoneSync() { ASSERT_TRUE(phone->sync()) << phone->error().toStdString(); }

    QTemporaryDir folder;
    std::unique_ptr<DavServer> server;
    std::unique_ptr<SecondClient> phone;
    TempEnv env;
    Connection connection;
};

const char* const kNothing = "0 received, 0 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks";

// One address book through its life, with vdirsyncer's folder as the phone:
// the first sync both ways, a change on each side, both sides changing one
// contact, a deletion on each side, deleted here and changed there, an edit
// with the sqlite3 tool, 500 cards from the phone, a token the server no
// longer knows, and the guard against mass deletion.
TEST_P(Sync, BothSidesEndEqualAndNothingIsLostSilently)
{
    phone->write(QStringLiteral("phone-1.vcf"), kPhoneCard);
    phoneSync();
    sql("insert into tblContact (ContactName, Mobile1, Email) values ('Ana Desk', '+34 600 000 001', "
        "'ana@example.es')");
    sql("insert into tblContact (ContactName, Work1) values ('Bo Desk', '+46 8 000 002')");
    EXPECT_EQ(sync(), "1 received, 2 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select count(*) from tblContact"), QStringLiteral("3"));
    EXPECT_EQ(column("select Mobile1 || '|' || Email from tblContact where ContactName = 'Jana Novakova'"),
              QStringLiteral("+420 601 111 222|jana@example.cz"));
    phoneSync();
    EXPECT_EQ(phone->files().size(), 3);
    EXPECT_EQ(sync(), kNothing);

    // The phone changes Jana's number and e-mail; here her name and e-mail
    // change, and Bo's number.
    QByteArray phoneEdit = phone->read(QStringLiteral("phone-1.vcf"));
    phone->write(QStringLiteral("phone-1.vcf"),
                 phoneEdit.replace("+420 601 111 222", "+420 777 000 333").replace("jana@example.cz", "jana@phone.cz"));
    phoneSync();
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
    // The merged card reaches the phone whole: what has no field is still there.
    phoneSync();
    const QByteArray merged = phone->read(QStringLiteral("phone-1.vcf"));
    for (const char* line : {"FN:Jana Schulz", "TEL;TYPE=CELL:+420 777 000 333", "EMAIL:jana@phone.cz",
                             "ADR;TYPE=HOME:;;Kastanienallee 5;Berlin;;10435;Germany", "ORG:Bakery Schulz",
                             "NOTE:Changed here on 2026-12-10: Email: jana@desk.de"})
        EXPECT_TRUE(merged.contains(line)) << line << " in\n" << merged.toStdString();
    EXPECT_TRUE(phone
                    ->read(phone->fileOf(column("select Uid from tblContactCard k join tblContact c using (ContactID) "
                                                "where ContactName = 'Bo Desk'")
                                             .toUtf8()))
                    .contains("+46 8 999 999"));
    EXPECT_EQ(sync(), kNothing);

    // The phone deletes Jana; Bo is deleted here.
    phone->remove(QStringLiteral("phone-1.vcf"));
    phoneSync();
    sql("delete from tblContact where ContactName = 'Bo Desk'");
    EXPECT_EQ(sync(), "0 received, 0 sent, 1 deleted here, 1 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select group_concat(ContactName) from tblContact"), QStringLiteral("Ana Desk"));
    phoneSync();
    ASSERT_EQ(phone->files().size(), 1);

    // Deleted here and changed on the phone: it stays, on both sides.
    const QString ana = phone->files().front();
    phone->write(ana, phone->read(ana).replace("ana@example.es", "ana@phone.es"));
    phoneSync();
    sql("delete from tblContact");
    EXPECT_EQ(sync(), "1 received, 0 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks; deleted on "
                      "one side and changed on the other, so kept on both: Ana Desk");
    EXPECT_EQ(column("select ContactName || '|' || Email from tblContact"), QStringLiteral("Ana Desk|ana@phone.es"));

    // 500 new cards on the phone, and a token the server does not know:
    // everything is compared, nothing doubles.
    for (int i = 0; i < 500; ++i) {
        phone->write(QStringLiteral("many-%1.vcf").arg(i),
                     QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:many-%1\r\nFN:Many %1\r\nTEL:+1 555 %1\r\n"
                                    "END:VCARD\r\n")
                         .arg(i)
                         .toUtf8());
    }
    phoneSync();
    sql("update tblRondexaInfo set Value = 'http://example.invalid/unknown-token' where Name = 'SyncToken'");
    EXPECT_EQ(sync(), "500 received, 0 sent, 0 deleted here, 0 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select count(*) || '|' || count(distinct ContactName) from tblContact"),
              QStringLiteral("501|501"));
    EXPECT_EQ(sync(), kNothing);

    // The phone loses 480 of them: the sync stops and changes nothing until
    // it is allowed.
    for (int i = 0; i < 480; ++i)
        phone->remove(QStringLiteral("many-%1.vcf").arg(i));
    phoneSync();
    EXPECT_THROW(sync(), MassDeletion);
    EXPECT_EQ(column("select count(*) from tblContact"), QStringLiteral("501"));
    EXPECT_EQ(sync(true), "0 received, 0 sent, 480 deleted here, 0 deleted there, 0 clashes kept in the remarks");
    EXPECT_EQ(column("select count(*) from tblContact"), QStringLiteral("21"));
}

INSTANTIATE_TEST_SUITE_P(Servers, Sync, testing::Values(DavServer::Kind::Radicale, DavServer::Kind::Xandikos),
                         [](const testing::TestParamInfo<DavServer::Kind>& p) { return DavServer::name(p.param); });

} // namespace
