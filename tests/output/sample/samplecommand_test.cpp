// "Load Sample/Example Data": the statements it runs, what it leaves in the
// table, and how it goes on after a rejected insert.
#include <gtest/gtest.h>

#include <memory>

#include <sqlite3.h>

#include <QRegularExpression>

#include "base/errortrap.h"
#include "output/samplecommand.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/commands/contactcommands.h"
#include "ui/main/form1.h"

namespace {

const QString kPrefix = "insert into tblContact (ContactName,DateOfBirth,Mobile1,Mobile2,Work1,Work2,Fax1,Fax2,"
                        "Home1,Home2,Email,Website,Remark) values ('";
const QStringList kInserts = {
    kPrefix + "Martin Oakes','04/04/1978','18011358542','','18015813542','','','','18015425813','',"
              "'martin.oakes@example.com','https://www.example.com/martin-oakes','VODE Manager')",
    kPrefix + "Gareth Lowe','09/10/1987','1112357845710','','','','','','','','gareth.lowe@example.net','','')",
    kPrefix + "Stuart Penn','10/11/1957','','','','','','','','','stuart.penn@example.org','',"
              "'ZadiZidu Ruda Zozo')",
};
const QString kReport = "\r\nin Rondexa2021/08/31.Form1.PushButton8_Click at line %1\r\r"
                        "Please email screenshot of this message to support@marrowind.example";

int traceStatement(unsigned, void* context, void*, void* sql)
{
    static_cast<QStringList*>(context)->append(QString::fromUtf8(static_cast<const char*>(sql)));
    return 0;
}

} // namespace

class SampleData : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.installDataFile();
        env.gConn() = std::make_unique<Connection>();
        env.gConn()->open(env.connectionString());
        sqlite3_trace_v2(env.gConn()->handle(), SQLITE_TRACE_STMT, traceStatement, &statements);
    }

    // Every stored row, ID left out, in the table's order.
    std::vector<QStringList> storedRows()
    {
        std::vector<QStringList> rows;
        Recordset recordset;
        recordset.open(contact::reportQuery(), *env.gConn(), 3, 1);
        for (; !recordset.eof(); recordset.moveNext()) {
            QStringList row;
            for (int i = 1; i <= contact::kFieldCount; ++i)
                row << recordset.field(i);
            rows.push_back(row);
        }
        return rows;
    }
    QStringList inserts() const { return statements.filter(QRegularExpression("^insert")); }
    // The command as the "Load Sample/Example Data" button runs it.
    void press(const std::function<void()>& loadRondexa)
    {
        ErrorTrap trap(env.seam(), locationTag("Form1", "PushButton8_Click"));
        runSampleDataCommand(trap, env.session(), loadRondexa);
    }

    TempEnv env;
    ScriptedMessages& messages = env.messages();
    QStringList statements;
};

TEST_F(SampleData, RunsTheThreeInsertsAsWrittenThenReloadsSilently)
{
    int reloads = 0;
    size_t rowsAtReload = 0;
    press([&] {
        ++reloads;
        rowsAtReload = storedRows().size();
    });
    EXPECT_EQ(inserts(), kInserts);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(rowsAtReload, 3U);
    EXPECT_TRUE(messages.shown().empty());

    const std::vector<QStringList> rows = storedRows();
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[1], QStringList({"Gareth Lowe", "09/10/1987", "1112357845710", "", "", "", "", "", "", "",
                                    "gareth.lowe@example.net", "", ""}));
    EXPECT_EQ(rows[2][0], "Stuart Penn");
    EXPECT_EQ(rows[2].mid(2, 8), QStringList(8));
    for (const QStringList& row : rows) {
        EXPECT_FALSE(row.join(QString()).contains('\''));
        // Addresses under the names reserved for examples only.
        EXPECT_TRUE(row[10].contains(QRegularExpression("@example\\.(com|net|org)$"))) << row[10].toStdString();
    }
}

TEST_F(SampleData, TwoPressesGiveTwoRowsPerSampleName)
{
    press([] {});
    press([] {});
    QStringList names;
    for (const QStringList& row : storedRows())
        names << row[0];
    EXPECT_EQ(names, QStringList(
                         {"Martin Oakes", "Gareth Lowe", "Stuart Penn", "Martin Oakes", "Gareth Lowe", "Stuart Penn"}));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(SampleData, RejectedInsertIsReportedAndTheOthersStillRun)
{
    // A file whose names must be unique refuses the second sample.
    env.gConn()->execute("create unique index OneName on tblContact (ContactName)");
    Contact gareth;
    gareth[contact::Field::Name] = "Gareth Lowe";
    env.gConn()->execute(contact::insertStatement(gareth));

    int reloads = 0;
    press([&] { ++reloads; });
    EXPECT_EQ(messages.texts(), QStringList({"UNIQUE constraint failed: tblContact.ContactName" + kReport.arg(106)}));
    ASSERT_EQ(messages.shown().size(), 1U);
    EXPECT_EQ(messages.shown()[0].title, "Application Error");
    EXPECT_EQ(messages.shown()[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(reloads, 1);
    QStringList names;
    for (const QStringList& row : storedRows())
        names << row[0];
    EXPECT_EQ(names, QStringList({"Gareth Lowe", "Martin Oakes", "Stuart Penn"}));
}

TEST_F(SampleData, EveryStepFailsOnItsOwnLineAndTheListIsStillReloaded)
{
    env.gConn().reset();
    int reloads = 0;
    press([&] {
        ++reloads;
        throw std::runtime_error("the list could not be filled");
    });
    EXPECT_EQ(reloads, 1);
    const QStringList texts = messages.texts();
    ASSERT_EQ(texts.size(), 4);
    EXPECT_TRUE(texts[0].endsWith(kReport.arg(102)));
    EXPECT_TRUE(texts[1].endsWith(kReport.arg(106)));
    EXPECT_TRUE(texts[2].endsWith(kReport.arg(110)));
    EXPECT_EQ(texts[3], "the list could not be filled" + kReport.arg(112));
}

TEST(SampleDataInTheMainWindow, TheListIsReloadedWholeAfterASearchNarrowedIt)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    Contact zed;
    zed[contact::Field::Name] = "Zed";
    env.gConn()->execute(contact::insertStatement(zed));
    form.loadRondexa();
    searchCommand(form, "Zed");
    ASSERT_EQ(form.rowCount(), 1);

    form.PushButton8_Click();
    QStringList names;
    for (int row = 0; row < form.rowCount(); ++row)
        names << form.text(row, contact::Field::Name);
    EXPECT_EQ(names, QStringList({"Gareth Lowe", "Martin Oakes", "Stuart Penn", "Zed"}));
    EXPECT_TRUE(messages.shown().empty());
}
