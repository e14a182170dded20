#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "store/connection.h"
#include "store/contacttable.h"
#include "store/viewsettings.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/form1.h"

#include <QLineEdit>

namespace {

void writeSettings(const QByteArray& body)
{
    writeFile(ViewSettings::filePath(), "[Rondexa]\n" + body);
}

QStringList names(const Form1& form)
{
    QStringList all;
    for (int r = 0; r < form.rowCount(); ++r)
        all << form.text(r, contact::Field::Name);
    return all;
}

void clickHeading(Form1& form, int column)
{
    QHeaderView* header = control<QTableView>(form, "ListView1").horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

} // namespace

TEST(RememberedView, WidthsStateAndSortSurviveARestart)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    {
        Form1 form(env.session());
        ASSERT_TRUE(form.Form_Load());
        form.setColumnWidthTwips(0, 900);
        form.setColumnWidthTwips(2, 0);
        form.setColumnWidthTwips(13, 4321.5);
        form.ListView1_ColumnClick(3);
        form.setWindowState(Qt::WindowMaximized);
        form.Form_QueryUnload();
    }
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    EXPECT_EQ(form.columnWidthTwips(0), 900);
    EXPECT_EQ(form.columnWidthTwips(2), 0);
    EXPECT_FLOAT_EQ(static_cast<float>(form.columnWidthTwips(13)), 4321.5f);
    EXPECT_EQ(form.columnWidthTwips(5), 1800);
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    EXPECT_TRUE(form.maximizedLayout());
    EXPECT_EQ(form.listModel().sortColumn(), 2);
    EXPECT_EQ(form.listModel().sortOrder(), Qt::AscendingOrder);
    EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
}

TEST(RememberedView, BadStoredValuesAreReportedOneByOneAndTheRestLoads)
{
    TempEnv env;
    writeSettings("ColumnHeaders1=300\nColumnHeaders4=wide\nColumnHeaders5=-40\nWindowState=7\n");
    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    const double headerDefault = control<QTableView>(form, "ListView1").horizontalHeader()->defaultSectionSize() * 15.0;
    ASSERT_TRUE(form.Form_Load());
    ASSERT_EQ(messages.shown().size(), 2u) << messages.texts().join("|").toStdString();
    EXPECT_TRUE(messages.shown()[0].text.contains("Form1.Form_Load at line 186\r\r"));
    EXPECT_TRUE(messages.shown()[1].text.contains("Form1.Form_Load at line 192\r\r"));
    EXPECT_EQ(form.columnWidthTwips(0), 300);
    // The width that could not be read stays what the new column had.
    EXPECT_EQ(form.columnWidthTwips(3), headerDefault);
    EXPECT_EQ(form.columnWidthTwips(4), 0);
    EXPECT_EQ(form.windowState(), Qt::WindowNoState);
    EXPECT_FALSE(form.maximizedLayout());
}

TEST(RememberedView, SettingsThatCannotBeWrittenAreReportedAndTheWindowStillCloses)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    RecordedEnd& end = env.end();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    // A folder where the settings file should be: nothing can be written there.
    QDir().mkpath(ViewSettings::filePath());
    form.show();
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(end.ended());
    EXPECT_FALSE(env.gConn());
    // Said once, not once for each of the fifteen values.
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_TRUE(messages.shown()[0].text.startsWith("The settings file " + ViewSettings::filePath() +
                                                    " is not a plain file\r\nin Rondexa2021/08/31.Form1."
                                                    "Form_QueryUnload at line 102\r\r"))
        << messages.shown()[0].text.toStdString();
    EXPECT_EQ(messages.shown()[0].title, "Application Error");
}

TEST(ColumnSort, HeadingClicksSortTheShownRowsAndUpdateEditsTheSelectedContact)
{
    TempEnv env;
    env.installDataFile();
    {
        Connection seed;
        seed.open(env.connectionString());
        for (const char* name : {"9 Lives", "10 Pins", "émile", "Zed", "борис", "anna"})
            seed.execute(QStringLiteral("insert into tblContact (ContactName, DateOfBirth, Email) values ('%1', "
                                        "'01/02/1990', '%2')")
                             .arg(QString::fromUtf8(name), QString::fromUtf8(name).right(2)));
        // Another tool's index: SQLite reads a column through it, in its order.
        seed.execute(QStringLiteral("create index ixMail on tblContact(Email)"));
    }
    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    form.show();
    clickHeading(form, 11);
    EXPECT_EQ(names(form), QStringList({"Zed", "9 Lives", "émile", "anna", "10 Pins", "борис"}));
    clickHeading(form, 1);
    EXPECT_EQ(names(form), QStringList({"10 Pins", "9 Lives", "anna", "émile", "Zed", "борис"}));
    clickHeading(form, 1);
    EXPECT_EQ(names(form), QStringList({"борис", "Zed", "émile", "anna", "9 Lives", "10 Pins"}));
    // A search keeps the sort.
    control<QLineEdit>(form, "Text1").setText("_");
    form.PushButton4_Click();
    EXPECT_EQ(names(form).first(), QString::fromUtf8("борис"));

    // The selected row, wherever the sort put it, is the one Update edits.
    const int zed = static_cast<int>(names(form).indexOf("Zed"));
    control<QTableView>(form, "ListView1")
        .selectionModel()
        ->select(form.listModel().index(zed, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    updateContactCommand(form, [](Form2& editor) {
        EXPECT_EQ(control<QLineEdit>(editor, "txtContactName").text(), "Zed");
        control<QLineEdit>(editor, "txtContactName").setText("Zed Renamed");
        editor.PushButton1_Click();
    });
    EXPECT_TRUE(names(form).contains("Zed Renamed"));
    EXPECT_FALSE(names(form).contains("Zed"));
    EXPECT_EQ(names(form).first(), QString::fromUtf8("борис"));
    EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
}

// Contacts of the same name stand in key order after a fill; a save must
// leave the one it changed where a fill would put it.
TEST(ColumnSort, AContactSavedStaysAmongItsNamesakesInKeyOrder)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    for (int i = 0; i < 3; ++i)
        env.gConn()->execute(contact::insertStatement({"Ann Lee", "01/02/1990"}));
    form.loadRondexa();
    const auto ids = [&form] {
        QStringList all;
        for (int r = 0; r < form.rowCount(); ++r)
            all << form.listModel().index(r, 0).data().toString();
        return all;
    };
    const QStringList before = ids();
    control<QTableView>(form, "ListView1").selectRow(0);
    updateContactCommand(form, [](Form2& editor) {
        control<QLineEdit>(editor, "txtMobile1").setText("555 0100");
        editor.PushButton1_Click();
    });
    EXPECT_EQ(ids(), before);
    EXPECT_TRUE(messages.shown().empty()) << messages.texts().join("|").toStdString();
}

TEST(HelpCommand, ShowsTheAddressAndChangesNothing)
{
    TempEnv env;
    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    env.gConn()->execute(contact::insertStatement({"Anna"}));
    env.gConn()->execute(contact::insertStatement({"Bob"}));
    form.loadRondexa();
    form.ListView1_ColumnClick(2);
    control<QTableView>(form, "ListView1").selectRow(1);
    const QStringList before = names(form);
    control<QPushButton>(form, "PushButton5").click();
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text,
              "Questions? Please contact Team Marrowind at https://www.marrowind.example/contact");
    EXPECT_EQ(messages.shown()[0].title, "Rondexa");
    EXPECT_EQ(messages.shown()[0].icon, MsgIcon::None);
    EXPECT_EQ(messages.shown()[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(names(form), before);
    EXPECT_EQ(form.selectedRow(), 1);
    EXPECT_GE(form.listModel().sortColumn(), 0);
}

TEST(SkinAndColours, SkinFileRestylesTheMainWindowAndTheEditorIsAlwaysButtonFace)
{
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    {
        TempEnv env;
        Form1 form(env.session());
        ASSERT_TRUE(form.Form_Load());
        EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
        EXPECT_TRUE(form.styleSheet().isEmpty());
        Form2 editor(form, &form);
        EXPECT_EQ(editor.palette().color(QPalette::Window), buttonFace);
        EXPECT_EQ(control<QGroupBox>(editor, "Frame1").palette().color(QPalette::Window), buttonFace);
    }
    TempEnv env;
    QDir().mkpath(env.appFolder() + "/x");
    QFile skin(env.appFolder() + "/x/o.cjs");
    skin.open(QIODevice::WriteOnly);
    skin.write("QPushButton { color: #123456; }");
    skin.close();
    ScriptedMessages& messages = env.messages();
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_TRUE(form.styleSheet().contains("#123456"));
    EXPECT_EQ(form.palette().color(QPalette::Window), buttonFace);
    EXPECT_EQ(control<QGroupBox>(form, "Frame1").palette().color(QPalette::Window), buttonFace);
}

TEST(Layout, MaximizeAndRestoreMoveTheControls)
{
    TempEnv env;
    Form1 form(env.session());
    ASSERT_TRUE(form.Form_Load());
    form.show();
    const QRect designedList = control<QTableView>(form, "ListView1").geometry();
    const QRect designedAdd = control<QPushButton>(form, "PushButton1").geometry();
    form.resize(form.width() + 50, form.height() + 40);
    EXPECT_EQ(control<QTableView>(form, "ListView1").geometry(), designedList);

    form.showMaximized();
    QTest::qWait(50);
    ASSERT_TRUE(form.windowState() & Qt::WindowMaximized);
    const int outerWidth = form.frameGeometry().width();
    EXPECT_NEAR(control<QTableView>(form, "ListView1").width(), outerWidth - 22, 1);
    EXPECT_TRUE(form.maximizedLayout());
    EXPECT_GT(control<QPushButton>(form, "PushButton1").y(), designedAdd.y());

    form.showNormal();
    QTest::qWait(50);
    EXPECT_EQ(control<QTableView>(form, "ListView1").geometry(), designedList);
    EXPECT_EQ(control<QPushButton>(form, "PushButton1").geometry(), designedAdd);
    EXPECT_TRUE(form.maximizedLayout());
}
