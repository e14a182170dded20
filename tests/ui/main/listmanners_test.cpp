#include "support/controls.h"
#include "support/editorfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "store/snapshots.h"
#include "ui/commands/contactcommands.h"
#include "ui/editor/form2.h"
#include "ui/qtmessagesink.h"

namespace {

class ListManners : public EditorFixture {
protected:
    QTableView& list() { return control<QTableView>(*form, "ListView1"); }
    QStringList selectedNames()
    {
        QStringList names;
        for (const int row : form->selectedRows())
            names << form->text(row, contact::Field::Name);
        return names;
    }
    void selectMany(std::initializer_list<int> rows)
    {
        list().clearSelection();
        for (const int row : rows)
            list().selectionModel()->select(form->listModel().index(row, 1),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void showWindow()
    {
        form->show();
        QApplication::setActiveWindow(form.get());
    }
    // Runs action, which opens a pop-up menu; returns the menu's entries
    // (and those of its submenus) as look(menu) sees them, then closes it.
    QStringList menuOpenedBy(const std::function<void()>& action, const std::function<void(QMenu&)>& look = {})
    {
        QStringList entries;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* entry : menu->actions())
                entries << entry->text();
            if (look)
                look(*menu);
            menu->close();
        });
        action();
        QCoreApplication::processEvents();
        return entries;
    }
};

} // namespace

TEST_F(ListManners, TheSelectionFollowsSavesAndDeletes)
{
    for (const char* name : {"Anna", "Bob", "Carl", "Dora"})
        seed(named(QString::fromLatin1(name)));
    select(rowOf("Bob"));
    updateContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Name, "Zed");
        editor.PushButton1_Click();
    });
    EXPECT_EQ(selectedNames(), QStringList({"Zed"}));
    EXPECT_EQ(form->selectedRow(), rowOf("Zed"));

    addContactCommand(*form, [](Form2& editor) {
        editor.setField(contact::Field::Name, "Bea");
        editor.PushButton1_Click();
    });
    EXPECT_EQ(selectedNames(), QStringList({"Bea"}));

    // The next row takes a deleted row's place; after the last, the one before.
    messages->answer(MsgAnswer::Yes);
    select(rowOf("Bea"));
    form->PushButton2_Click();
    EXPECT_EQ(selectedNames(), QStringList({"Carl"}));
    messages->answer(MsgAnswer::Yes);
    select(rowOf("Zed"));
    form->PushButton2_Click();
    EXPECT_EQ(selectedNames(), QStringList({"Dora"}));
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Carl", "Dora"}));
}

TEST_F(ListManners, SeveralRowsGoWithOneQuestionThatCountsThem)
{
    for (const char* name : {"Anna", "Bob", "Carl", "Dora"})
        seed(named(QString::fromLatin1(name)));
    selectMany({0, 2, 3});
    messages->answer(MsgAnswer::No);
    form->PushButton2_Click();
    EXPECT_EQ(messages->texts(), QStringList({"Delete 3 contacts?"}));
    EXPECT_EQ(stored().size(), 4u);

    messages->clear();
    messages->answer(MsgAnswer::Yes);
    form->PushButton2_Click();
    EXPECT_EQ(messages->texts(), QStringList({"Delete 3 contacts?"}));
    EXPECT_EQ(listedNames(), QStringList({"Bob"}));
    EXPECT_EQ(stored().size(), 1u);
    EXPECT_EQ(selectedNames(), QStringList({"Bob"}));
    // The file as it was before, in one snapshot; a single row takes none.
    const std::vector<SnapshotInfo> snapshots = listSnapshots(env->dataFile());
    ASSERT_EQ(snapshots.size(), 1u);
    EXPECT_EQ(snapshots[0].contacts, 4);
    messages->answer(MsgAnswer::Yes);
    form->PushButton2_Click();
    EXPECT_EQ(listSnapshots(env->dataFile()).size(), 1u);
}

TEST_F(ListManners, TheKeyboardEntersOnAContactAndTabLeaves)
{
    for (const char* name : {"Anna", "Bob", "Carl"})
        seed(named(QString::fromLatin1(name)));
    showWindow();
    control<QLineEdit>(*form, "Text1").setFocus(Qt::MouseFocusReason);
    list().clearSelection();
    list().setFocus(Qt::TabFocusReason);
    EXPECT_EQ(selectedNames(), QStringList({"Anna"}));
    EXPECT_EQ(list().currentIndex().column(), 1);
    EXPECT_TRUE(list().isColumnHidden(0));
    QTest::keyClick(&list(), Qt::Key_Down);
    EXPECT_EQ(selectedNames(), QStringList({"Bob"}));
    QTest::keyClick(&list(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(selectedNames(), QStringList({"Bob", "Carl"}));
    // Home stays off the hidden ID.
    QTest::keyClick(&list(), Qt::Key_Home);
    EXPECT_EQ(list().currentIndex().column(), 1);

    QTest::keyClick(&list(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), &control<QPushButton>(*form, "PushButton1"));
    // Back in after a refill, the keyboard lands on the contact selected last.
    select(rowOf("Carl"));
    form->loadRondexa();
    form->selectContacts({form->id(rowOf("Carl"))});
    list().setFocus(Qt::BacktabFocusReason);
    EXPECT_EQ(list().currentIndex().row(), rowOf("Carl"));
    EXPECT_EQ(list().currentIndex().column(), 1);
}

TEST_F(ListManners, TheMenuOpensFromTheKeyboardAndSortsAndTheSortIsHeard)
{
    for (const char* name : {"Anna", "Bob"})
        seed(named(QString::fromLatin1(name)));
    showWindow();
    list().setFocus(Qt::TabFocusReason);
    QAccessible::Role role = QAccessible::NoRole;
    const QStringList entries =
        menuOpenedBy([&] { QTest::keyClick(&list(), Qt::Key_F10, Qt::ShiftModifier); },
                     [&](QMenu& menu) {
                         if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&menu))
                             role = a->role();
                     });
    EXPECT_TRUE(entries.contains("Sort by")) << entries.join("|").toStdString();
    EXPECT_TRUE(entries.contains("Export Selected as vCard…"));
    EXPECT_EQ(role, QAccessible::PopupMenu);

    // "Sort by", "Name" twice: descending, and the heading says so.
    menuOpenedBy([&] { QTest::keyClick(&list(), Qt::Key_F10, Qt::ShiftModifier); },
                 [](QMenu& menu) {
                     for (QAction* action : menu.actions())
                         if (action->menu())
                             action->menu()->actions().at(0)->trigger();
                 });
    EXPECT_EQ(list().horizontalHeader()->sortIndicatorSection(), 1);
    EXPECT_EQ(form->listModel().headerData(1, Qt::Horizontal, Qt::AccessibleDescriptionRole), "sorted ascending");
    form->ListView1_ColumnClick(2);
    EXPECT_EQ(form->listModel().headerData(1, Qt::Horizontal, Qt::AccessibleDescriptionRole), "sorted descending");
    EXPECT_EQ(listedNames(), QStringList({"Bob", "Anna"}));
}

TEST_F(ListManners, TheListSaysWhatToDoAndHowManyASearchFound)
{
    EXPECT_TRUE(list().accessibleDescription().contains("no contacts")) << list().accessibleDescription().toStdString();
    for (const char* name : {"Anna", "Annabel", "Bob"})
        seed(named(QString::fromLatin1(name)));
    EXPECT_EQ(list().accessibleDescription(), QString());
    auto& search = control<QLineEdit>(*form, "Text1");
    search.setText("ann");
    form->PushButton4_Click();
    EXPECT_EQ(search.accessibleDescription(), "2 contacts found");
    search.setText("zzz");
    form->PushButton4_Click();
    EXPECT_EQ(search.accessibleDescription(), "0 contacts found");

    control<QPushButton>(*form, "PushButton5").click();
    ASSERT_FALSE(messages->shown().empty());
    EXPECT_TRUE(messages->shown().back().links);
    // The box on screen makes the address a link to itself.
    const QString html = displayedMessageHtml(messages->shown().back().text);
    EXPECT_TRUE(html.contains(QRegularExpression(QStringLiteral("<a href=\"(https?://[^\"]+)\">\\1</a>"))))
        << html.toStdString();
}

TEST_F(ListManners, TheWindowsPlaceAndSortComeBack)
{
    seed(named("Anna"));
    form->show();
    form->resize(700, 650);
    form->move(40, 30);
    form->ListView1_ColumnClick(3);
    form->ListView1_ColumnClick(3);
    const QSize size = form->size();
    form->Form_QueryUnload();
    form.reset();

    Form1 again(env->session());
    ASSERT_TRUE(again.Form_Load());
    EXPECT_EQ(again.size(), size);
    EXPECT_TRUE(again.hasRememberedPlace());
    EXPECT_EQ(again.listModel().sortColumn(), 2);
    EXPECT_EQ(again.listModel().sortOrder(), Qt::DescendingOrder);
    EXPECT_TRUE(messages->texts().filter("Application Error").isEmpty()) << messages->texts().join("|").toStdString();
}
