// The data file is shared: another copy of the program, the sqlite3 command
// line or any other program may write it while the window is open. Nothing
// they saved may be undone or corrupted by this copy, and what they stored is
// never rewritten unless the user changed it. Judged by the stock sqlite3
// tool and byte for byte.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QLineEdit>
#include <QProcess>

#include "editorinput.h"
#include "storeprobe.h"
#include "support/controls.h"
#include "support/editorfixture.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"

namespace {

// The stock sqlite3 command line, with none of the program's rules.
QString stockTool(const QString& file, const QString& sql)
{
    const QString program = systemTool(QStringLiteral("sqlite3"));
    if (program.isEmpty())
        return QStringLiteral("(the sqlite3 command line is not installed)");
    QProcess process;
    process.start(program, {file, sql});
    if (!process.waitForFinished(60000))
        return QStringLiteral("(sqlite3 did not finish)");
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
}

// Type and bytes of every column of every row, as the stock tool prints them.
QString exactRows(const QString& file)
{
    QStringList columns;
    for (const QString& name : contact::columnNames())
        columns << QStringLiteral("typeof(%1)||':'||quote(%1)").arg(name);
    return stockTool(file, QStringLiteral("select ") + columns.join(QStringLiteral("||' '||")) +
                               QStringLiteral(" from tblContact order by ContactID"));
}

} // namespace

class ForeignWrites : public EditorFixture {
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        other.open(env->connectionString());
    }
    void TearDown() override
    {
        other.close();
        EditorFixture::TearDown();
    }
    QString storedOf(const QString& name, const char* column)
    {
        return stockTool(
            env->dataFile(),
            QStringLiteral("select %1 from tblContact where ContactName = '%2'").arg(QLatin1String(column), name));
    }

    // Another copy of the program on the same file.
    Connection other;
};

TEST_F(ForeignWrites, AnEditorNeverUndoesNorLosesWhatAnotherCopySaved)
{
    Contact ann = named(QStringLiteral("Ann"));
    ann[contact::Field::Mobile1] = QStringLiteral("555-OLD");
    ann[contact::Field::Email] = QStringLiteral("ann@old.example");
    seed(ann);
    seed(named(QStringLiteral("Bob")));

    // The other copy changes Ann's mobile while this copy's editor holds her;
    // the user here changes only her e-mail.
    select(rowOf(QStringLiteral("Ann")));
    bool openAfterConflict = false;
    bool openAfterRetry = true;
    updateContactCommand(*form, [&](Form2& editor) {
        editor.show();
        other.execute(QStringLiteral("update tblContact set Mobile1='555-NEW' where ContactName='Ann'"));
        control<QLineEdit>(editor, "txtEmailAdd").setText(QStringLiteral("ann@new.example"));
        editor.PushButton1_Click();
        openAfterConflict = editor.isVisible();
        ASSERT_EQ(messages->shown().size(), 1u);
        EXPECT_TRUE(messages->shown()[0].text.contains("changed elsewhere"));
        EXPECT_EQ(storedOf("Ann", "Mobile1 || ' ' || Email"), "555-NEW ann@old.example");
        // The fields left alone show what is stored; what was typed stays.
        EXPECT_EQ(control<QLineEdit>(editor, "txtMobile1").text(), "555-NEW");
        EXPECT_EQ(control<QLineEdit>(editor, "txtEmailAdd").text(), "ann@new.example");
        EXPECT_EQ(form->text(rowOf(QStringLiteral("Ann")), contact::Field::Mobile1), "555-NEW");

        messages->clear();
        editor.PushButton1_Click();
        openAfterRetry = editor.isVisible();
        EXPECT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
    });
    EXPECT_TRUE(openAfterConflict);
    EXPECT_FALSE(openAfterRetry);
    EXPECT_EQ(storedOf("Ann", "Mobile1 || ' ' || Email"), "555-NEW ann@new.example");

    // The other copy deletes Bob while the editor holds him.
    messages->clear();
    select(rowOf(QStringLiteral("Bob")));
    bool openAfterGone = false;
    updateContactCommand(*form, [&](Form2& editor) {
        editor.show();
        other.execute(QStringLiteral("delete from tblContact where ContactName='Bob'"));
        control<QLineEdit>(editor, "txtMobile2").setText(QStringLiteral("typed here"));
        editor.PushButton1_Click();
        openAfterGone = editor.isVisible();
        ASSERT_EQ(messages->shown().size(), 1u);
        EXPECT_TRUE(messages->shown()[0].text.contains("deleted elsewhere"));
        EXPECT_EQ(control<QLineEdit>(editor, "txtMobile2").text(), "typed here");
        EXPECT_EQ(listedNames(), QStringList({"Ann"}));
    });
    EXPECT_TRUE(openAfterGone);
    EXPECT_EQ(stockTool(env->dataFile(), "select group_concat(ContactName) from tblContact"), "Ann");

    // A delete of a contact that is already gone says so.
    seed(named(QStringLiteral("Cid")));
    other.execute(QStringLiteral("delete from tblContact where ContactName='Cid'"));
    messages->clear();
    messages->answer(MsgAnswer::Yes);
    select(rowOf(QStringLiteral("Cid")));
    deleteContactCommand(*form);
    ASSERT_EQ(messages->shown().size(), 2u);
    EXPECT_TRUE(messages->shown()[1].text.contains("already been deleted"))
        << messages->texts().join(" | ").toStdString();
    EXPECT_EQ(listedNames(), QStringList({"Ann"}));
}

// After this window's own save the list changes only the saved row, unless
// another copy wrote meanwhile: then it shows that copy's contacts too.
TEST_F(ForeignWrites, TheListAfterASaveShowsWhatOtherCopiesWroteMeanwhile)
{
    seed(named(QStringLiteral("Bob")));
    addContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Name, QStringLiteral("Anna"));
        editor.PushButton1_Click();
    });
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Bob"}));
    other.execute(contact::insertStatement(named(QStringLiteral("Zed"))));
    other.execute(QStringLiteral("delete from tblContact where ContactName = 'Bob'"));
    addContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Name, QStringLiteral("Cleo"));
        editor.PushButton1_Click();
    });
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Cleo", "Zed"}));
}

// Another copy saves a name while this copy's Add editor is open: the save
// here is refused, as it would have been had the list shown the name.
TEST_F(ForeignWrites, ANameAnotherCopySavedWhileTheEditorWasOpenIsRefused)
{
    bool closed = true;
    addContactCommand(*form, [&](Form2& editor) {
        other.execute(contact::insertStatement(named(QStringLiteral("RACE TWO"))));
        editor.setField(contact::Field::Name, QStringLiteral("Race Two"));
        editor.PushButton1_Click();
        closed = editor.result() == QDialog::Accepted;
    });
    EXPECT_FALSE(closed);
    EXPECT_EQ(messages->texts(), QStringList({"Contact name already exists in the database."}));
    EXPECT_EQ(stockTool(env->dataFile(), "select group_concat(ContactName) from tblContact"), "RACE TWO");
}

// Another copy commits just as this copy's list is filled. Whether that
// contact is among the rows read or comes after them, the list must show it
// after this window's next save.
TEST_F(ForeignWrites, AContactSavedWhileTheListIsFilledIsShownAfterTheNextSave)
{
    seed(named(QStringLiteral("Bob")));
    struct Race {
        Connection& other;
        bool armed = true;
        bool committed = false;
    } race{other};
    // The other copy writes the moment this copy asks for the file's data
    // version, the step that decides what counts as changed since the fill.
    const auto writeThen = [](unsigned, void* context, void* statement, void*) -> int {
        auto& state = *static_cast<Race*>(context);
        if (state.armed && QByteArray(sqlite3_sql(static_cast<sqlite3_stmt*>(statement))).contains("data_version")) {
            state.armed = false;
            sqlite3* db = state.other.handle();
            sqlite3_busy_timeout(db, 0);
            const QByteArray insert = contact::insertStatement(named(QStringLiteral("Zed"))).toUtf8();
            state.committed = sqlite3_exec(db, insert.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
            if (!state.committed)
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return 0;
    };
    sqlite3_trace_v2(env->gConn()->handle(), SQLITE_TRACE_STMT, writeThen, &race);
    form->loadRondexa();
    sqlite3_trace_v2(env->gConn()->handle(), 0, nullptr, nullptr);
    ASSERT_FALSE(race.armed);
    // Held off by this copy's read, the other copy saves right after it.
    if (!race.committed)
        other.execute(contact::insertStatement(named(QStringLiteral("Zed"))));

    addContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Name, QStringLiteral("Anna"));
        editor.PushButton1_Click();
    });
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Bob", "Zed"}));
}

// The names a save checks against are read once and then kept: each write
// since, whoever made it, must reach them, or a taken name is let through or
// a free one refused.
TEST_F(ForeignWrites, TheNameCheckSeesEveryWriteSinceItLastReadTheNames)
{
    const auto add = [this](const QString& name) {
        messages->clear();
        addContactCommand(*form, [&](Form2& editor) {
            editor.setField(contact::Field::Name, name);
            editor.PushButton1_Click();
        });
        return !messages->texts().contains(QStringLiteral("Contact name already exists in the database."));
    };
    const auto rename = [this](const QString& from, const QString& to) {
        select(rowOf(from));
        updateContactCommand(*form, [&](Form2& editor) {
            editor.setField(contact::Field::Name, to);
            editor.PushButton1_Click();
        });
    };
    ASSERT_TRUE(add(QStringLiteral("Anna")));
    EXPECT_FALSE(add(QStringLiteral("ANNA")));
    other.execute(contact::insertStatement(named(QStringLiteral("Bea"))));
    EXPECT_FALSE(add(QStringLiteral("bea"))) << "a name another program stored";
    other.execute(QStringLiteral("delete from tblContact where ContactName = 'Bea'"));
    EXPECT_TRUE(add(QStringLiteral("bea"))) << "a name another program deleted";
    rename(QStringLiteral("bea"), QStringLiteral("Cleo"));
    EXPECT_FALSE(add(QStringLiteral("CLEO"))) << "a name this window gave in an update";
    EXPECT_TRUE(add(QStringLiteral("Bea"))) << "a name this window renamed away";
    select(rowOf(QStringLiteral("Cleo")));
    messages->answer(MsgAnswer::Yes);
    deleteContactCommand(*form);
    EXPECT_TRUE(add(QStringLiteral("cleo"))) << "a name this window deleted";
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Bea", "cleo"}));
}

// Rows another program wrote, with values the editor cannot show as they are
// stored: an update that changes one phone number leaves every other column
// byte for byte, type included. The IDs are ones SQLite can hold but the
// program never makes.
TEST_F(ForeignWrites, AnUpdateRewritesOnlyWhatTheUserChanged)
{
    // Another program's table, whose untyped columns keep numbers as numbers.
    form.reset();
    other.execute(QStringLiteral("drop table tblContact"));
    other.execute(QStringLiteral("create table tblContact (ContactID integer primary key, ContactName, DateOfBirth, "
                                 "Mobile1, Mobile2, Work1, Work2, Fax1, Fax2, Home1, Home2, Email, Website, Remark)"));
    other.execute(QStringLiteral(
        "insert into tblContact (ContactID, ContactName, DateOfBirth, Mobile1, Mobile2, Work1, Work2, Fax1, Fax2, "
        "Home1, Home2, Email, Website, Remark) values "
        "(-7, 'Iso Date', '1990-05-06', '1', 42, 4.5, x'00ff10', NULL, '', ' ', 'x', cast(x'6af67267' as text), "
        "'w', 'line1' || char(13,10) || 'line2' || char(13) || 'line3'), "
        "(9223372036854775807, 'No Date', NULL, '2', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
        "(-9223372036854775808, 'Empty Date', '', '3', '', '', '', '', '', '', '', '', '', '')"));
    form = std::make_unique<Form1>(env->session());
    ASSERT_TRUE(form->Form_Load());
    ASSERT_TRUE(messages->shown().empty()) << messages->texts().join(" | ").toStdString();
    const QString before = exactRows(env->dataFile());
    ASSERT_TRUE(before.contains("integer:42 real:4.5 blob:X'00FF10' null:NULL")) << before.toStdString();

    messages->clear();
    for (const char* name : {"Iso Date", "No Date", "Empty Date"}) {
        SCOPED_TRACE(name);
        select(rowOf(QLatin1String(name)));
        updateContactCommand(*form, [&](Form2& editor) {
            control<QLineEdit>(editor, "txtMobile1")
                .setText(control<QLineEdit>(editor, "txtMobile1").text() + QStringLiteral("-changed"));
            editor.PushButton1_Click();
        });
    }
    QString expected = before;
    for (const char* number : {"'1'", "'2'", "'3'"})
        expected.replace(QStringLiteral("text:%1 ").arg(QLatin1String(number)),
                         QStringLiteral("text:%1 ").arg(QString(number).insert(2, QStringLiteral("-changed"))));
    EXPECT_EQ(exactRows(env->dataFile()), expected);
    // The date the picker cannot read is reported; an empty or missing one
    // is simply unknown. None is replaced.
    ASSERT_EQ(messages->shown().size(), 1u);
    for (const MessageRequest& shown : messages->shown())
        EXPECT_TRUE(shown.text.contains("at line 106")) << shown.text.toStdString();

    // And a delete reaches the largest and the smallest key alike.
    for (const char* name : {"No Date", "Empty Date"}) {
        messages->answer(MsgAnswer::Yes);
        select(rowOf(QLatin1String(name)));
        deleteContactCommand(*form);
    }
    EXPECT_EQ(stockTool(env->dataFile(), "select group_concat(ContactID) from tblContact"), "-7");
}

// Indexes made by the stock tool, on the NOCASE columns and others, stay
// valid through every write this program makes: its text rules never
// redefine a collation the file relies on.
TEST_F(ForeignWrites, IndexesMadeByTheStockToolStayValid)
{
    for (const char* name : {"Émile", "Ørjan", "zoë", "Борис", "İlker"})
        seed(named(QString::fromUtf8(name)));
    other.close();
    form.reset();
    const QString made = stockTool(env->dataFile(), "create index ixName on tblContact(ContactName);"
                                                    "create index ixMail on tblContact(Email collate nocase, Remark);"
                                                    "create index ixLower on tblContact(lower(Website));"
                                                    "create index ixLike on tblContact(Home1) where Home2 like '%x%';");
    ASSERT_TRUE(made.isEmpty()) << made.toStdString();
    form = std::make_unique<Form1>(env->session());
    ASSERT_TRUE(form->Form_Load());
    other.open(env->connectionString());
    messages->clear();

    addContactCommand(*form, [](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText(QString::fromUtf8("Ödön"));
        control<QLineEdit>(editor, "txtEmailAdd").setText(QString::fromUtf8("ÖDÖN@EXAMPLE.ORG"));
        control<QLineEdit>(editor, "txtHome2").setText(QStringLiteral("xx"));
        editor.PushButton1_Click();
    });
    select(rowOf(QString::fromUtf8("Ørjan")));
    updateContactCommand(*form, [](Form2& editor) {
        control<QLineEdit>(editor, "txtContactName").setText(QString::fromUtf8("ØRJAN Ålund"));
        control<QLineEdit>(editor, "txtWebsite").setText(QString::fromUtf8("WWW.ÅLUND.EXAMPLE"));
        editor.PushButton1_Click();
    });
    messages->answer(MsgAnswer::Yes);
    select(rowOf(QString::fromUtf8("Émile")));
    deleteContactCommand(*form);
    searchCommand(*form, QString::fromUtf8("ÖD"));
    EXPECT_EQ(listedNames(), QStringList({QString::fromUtf8("Ödön")}));

    EXPECT_EQ(messages->texts(),
              QStringList({"Record Successfully Saved.", QString::fromUtf8("Are you sure you want to "
                                                                           "delete Émile?")}));
    EXPECT_EQ(stockTool(env->dataFile(), "pragma integrity_check"), "ok");
    EXPECT_EQ(stockTool(env->dataFile(), "select count(*) from tblContact indexed by ixName where ContactName > ''"),
              "5");
}
