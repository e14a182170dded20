#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "store/keptcards.h"
#include "store/writetransaction.h"
#include "support/editorfixture.h"
#include "ui/commands/contactcommands.h"
#include "ui/commands/exchangecommands.h"
#include "ui/editor/form2.h"

namespace {

class Undo : public EditorFixture {
protected:
    void selectAll() { control<QTableView>(*form, "ListView1").selectAll(); }
    // Every contact as "ID name mobile", in key order, and how many kept
    // cards the file holds: what an undo must give back exactly.
    QString file() const
    {
        return firstValueIn(env->dataFile(),
                            "select group_concat(ContactID || ' ' || ContactName || ' ' || Mobile1, '; ') from "
                            "(select * from tblContact order by ContactID)") +
               " | cards " + firstValueIn(env->dataFile(), "select count(*) from tblContactCard");
    }
    void key(Qt::KeyboardModifiers modifiers)
    {
        // A shortcut counts only in the active window, which a closed menu
        // gives back late on a busy machine. The search box keeps Ctrl+Z
        // for its own text.
        QApplication::setActiveWindow(form.get());
        control<QTableView>(*form, "ListView1").setFocus();
        QTest::keyClick(&control<QTableView>(*form, "ListView1"), Qt::Key_Z, modifiers);
        QCoreApplication::processEvents();
    }
    // The list's context menu entry that undoes, as the user reads it.
    QString undoEntry()
    {
        QString entry;
        QTimer::singleShot(50, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                entry = menu->actions().front()->text();
                menu->close();
            }
        });
        QTest::keyClick(&control<QTableView>(*form, "ListView1"), Qt::Key_F10, Qt::ShiftModifier);
        QCoreApplication::processEvents();
        return entry;
    }
};

} // namespace

// Each kind of change goes back, several steps deep, with its keys and
// kept cards, and comes again with Ctrl+Shift+Z.
TEST_F(Undo, EachKindOfChangeGoesBackAndComesAgain)
{
    form->show();
    QApplication::setActiveWindow(form.get());
    int mobile = 1;
    for (const char* name : {"Anna", "Bob"}) {
        Contact values = named(QString::fromLatin1(name));
        values[contact::Field::Mobile1] = QString::number(mobile++);
        seed(values);
    }
    Connection& connection = *env->gConn();
    inWriteTransaction(connection, [&] {
        keptcards::prepare(connection);
        keptcards::Writer cards(connection);
        cards.keep(1, "uid-anna", "BEGIN:VCARD\r\nNICKNAME:Annie\r\nEND:VCARD\r\n", 0);
        cards.keep(2, "uid-bob", "", 0);
        return 0;
    });
    const QString seeded = file();
    EXPECT_EQ(seeded, "1 Anna 1; 2 Bob 2 | cards 2");

    const QString dora = env->root() + QStringLiteral("/dora.vcf");
    writeFile(dora, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dora\r\nTEL;TYPE=CELL:4\r\nEND:VCARD\r\n");
    importVCardsCommand(*form, {dora});
    addContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Name, "Carl");
        editor.setField(contact::Field::Mobile1, "3");
        editor.PushButton1_Click();
    });
    select(rowOf("Anna"));
    updateContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Mobile1, "9");
        editor.PushButton1_Click();
    });
    const QString changed = file();
    EXPECT_EQ(changed, "1 Anna 9; 2 Bob 2; 3 Dora 4; 4 Carl 3 | cards 3");
    selectAll();
    messages->answer(MsgAnswer::Yes);
    form->PushButton2_Click();
    EXPECT_EQ(file(), " | cards 0");
    EXPECT_EQ(undoEntry(), "Undo Delete of 4 contacts");

    messages->clear();
    key(Qt::ControlModifier);
    EXPECT_EQ(file(), changed);
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Bob", "Carl", "Dora"}));
    EXPECT_EQ(undoEntry(), "Undo Update of Anna");
    key(Qt::ControlModifier);
    EXPECT_EQ(file(), "1 Anna 1; 2 Bob 2; 3 Dora 4; 4 Carl 3 | cards 3");
    key(Qt::ControlModifier);
    EXPECT_EQ(undoEntry(), "Undo Import of dora.vcf");
    key(Qt::ControlModifier);
    EXPECT_EQ(file(), seeded);
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Bob"}));

    for (int step = 0; step < 4; ++step)
        key(Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(file(), " | cards 0");
    key(Qt::ControlModifier);
    EXPECT_EQ(file(), changed);
    EXPECT_EQ(firstValueIn(env->dataFile(), "select Card from tblContactCard where ContactID = 1"),
              "BEGIN:VCARD\r\nNICKNAME:Annie\r\nEND:VCARD\r\n");
    EXPECT_TRUE(messages->shown().empty()) << messages->texts().join('\n').toStdString();
}

// A contact changed since the step, by anyone, is never overwritten: the undo
// refuses, says why, and stays on offer.
TEST_F(Undo, AChangeMadeSinceIsNeverOverwritten)
{
    seed(named("Anna"));
    select(rowOf("Anna"));
    updateContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Mobile1, "1");
        editor.PushButton1_Click();
    });
    env->gConn()->execute(QStringLiteral("update tblContact set Mobile1 = '2' where ContactName = 'Anna'"));

    messages->clear();
    form->undoLast();
    EXPECT_EQ(messages->texts(), QStringList({"Anna was changed since (in this window, another window or another "
                                              "program), so nothing was changed back."}));
    EXPECT_EQ(firstValueIn(env->dataFile(), "select Mobile1 from tblContact"), "2");
    EXPECT_EQ(form->text(rowOf("Anna"), contact::Field::Mobile1), "2");

    // A namesake added where a deleted contact would come back.
    env->gConn()->execute(QStringLiteral("update tblContact set Mobile1 = '1'"));
    messages->answer(MsgAnswer::Yes);
    select(rowOf("Anna"));
    form->PushButton2_Click();
    seed(named("ANNA"));
    messages->clear();
    form->undoLast();
    EXPECT_EQ(messages->texts(), QStringList({"A contact named Anna was added since, so nothing was changed back."}));
    EXPECT_EQ(listedNames(), QStringList({"ANNA"}));
}
