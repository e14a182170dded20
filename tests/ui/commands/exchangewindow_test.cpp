#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "support/editorfixture.h"
#include "ui/commands/exchangecommands.h"
#include "ui/editor/form2.h"
#include "ui/main/contactlistview.h"

namespace {

class ExchangeWindow : public EditorFixture {
protected:
    QTableView& list() { return control<QTableView>(*form, "ListView1"); }

    // Runs action, which opens the modal editor; the editor's caption is
    // returned and Escape closes it.
    QString captionOfEditorOpenedBy(const std::function<void()>& action)
    {
        QString caption;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* editor = qobject_cast<Form2*>(QApplication::activeModalWidget())) {
                caption = editor->windowTitle();
                QTest::keyClick(editor, Qt::Key_Escape);
            }
        });
        poll.start(10);
        QTimer::singleShot(5000, &poll, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        action();
        poll.stop();
        return caption;
    }
};

} // namespace

TEST_F(ExchangeWindow, KeysReachTheCommandsAndEscapeSavesNothing)
{
    seed(named("Anna"));
    seed(named("Bob"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    select(rowOf("Bob"));
    list().setFocus();

    messages->answer(MsgAnswer::No);
    QTest::keyClick(&list(), Qt::Key_Delete);
    QCoreApplication::processEvents();
    EXPECT_EQ(messages->texts(), QStringList({"Are you sure you want to delete Bob?"}));
    EXPECT_EQ(listedNames(), QStringList({"Anna", "Bob"}));

    QTest::keyClick(&list(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(control<QLineEdit>(*form, "Text1").hasFocus());
    EXPECT_EQ(captionOfEditorOpenedBy([&] {
                  QTest::keyClick(form.get(), Qt::Key_N, Qt::ControlModifier);
                  QCoreApplication::processEvents();
              }),
              "Add New Contact");
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(captionOfEditorOpenedBy([&] {
                  QTest::keyClick(&list(), Qt::Key_Return);
                  QCoreApplication::processEvents();
              }),
              "Update Contact");
    EXPECT_EQ(stored().size(), 2u);

    QHeaderView& header = *list().horizontalHeader();
    form->ListView1_ColumnClick(2);
    EXPECT_TRUE(header.isSortIndicatorShown());
    EXPECT_EQ(header.sortIndicatorSection(), 1);
    EXPECT_EQ(header.sortIndicatorOrder(), Qt::AscendingOrder);
    form->ListView1_ColumnClick(2);
    EXPECT_EQ(header.sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(ExchangeWindow, DroppedFilesAreImportedAndSelectedContactsGoOut)
{
    seed(named("Anna"));
    const QString file = env->root() + QStringLiteral("/friends.vcf");
    writeFile(file, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zoë O'Neil\r\nTEL;TYPE=CELL:0123\r\nEND:VCARD\r\n"
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:anna\r\nEND:VCARD\r\n");
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(file), QUrl::fromLocalFile(env->root() + QStringLiteral("/notes.txt"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list().viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list().viewport(), &drop);
    QCoreApplication::processEvents();

    EXPECT_EQ(listedNames(), QStringList({"Anna", "Zoë O'Neil"}));
    ASSERT_EQ(messages->shown().size(), 1u);
    EXPECT_TRUE(messages->texts()[0].contains("1 added")) << messages->texts()[0].toStdString();
    EXPECT_TRUE(messages->texts()[0].contains("1 skipped as already there")) << messages->texts()[0].toStdString();

    select(rowOf("Zoë O'Neil"));
    const QString exported = env->root() + QStringLiteral("/out.vcf");
    messages->clear();
    exportSelectedVCardsCommand(*form, [&](QWidget*) { return ExportTarget{exported, VCardVersion::V30}; });
    QFile in(exported);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(in.readAll());
    EXPECT_TRUE(text.contains("VERSION:3.0") && text.contains("FN:Zoë O'Neil") && text.contains("0123"))
        << text.toStdString();
    EXPECT_FALSE(text.contains("Anna"));
    EXPECT_EQ(messages->texts(), QStringList({"1 contact written to " + exported + "."}));
}

// A mouse drag on a row goes through the view's own start of a drag, which
// asks for the selected contact's card.
TEST_F(ExchangeWindow, DraggingARowWithTheMouseCarriesItsContact)
{
    seed(named("Anna"));
    seed(named("Bob"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto& view = dynamic_cast<ContactListView&>(list());
    QByteArray carried;
    // The drag's own loop waits for a real pointer; the card it would carry
    // is what counts here.
    view.setDragData([&]() -> QMimeData* {
        const std::unique_ptr<QMimeData> data(selectedContactsDragData(*form));
        if (data)
            carried = data->data(QStringLiteral("text/vcard"));
        return nullptr;
    });
    const QPoint from = list().visualRect(form->listModel().index(rowOf("Bob"), 1)).center();
    const QPoint step(QApplication::startDragDistance() + 5, 0);
    QTest::mousePress(list().viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(list().viewport(), from + step);
    QTest::mouseMove(list().viewport(), from + step * 2);
    QTest::mouseRelease(list().viewport(), Qt::LeftButton, Qt::NoModifier, from + step * 2);
    EXPECT_TRUE(carried.contains("FN:Bob")) << carried.toStdString();
    EXPECT_FALSE(carried.contains("Anna"));
}

// The export dialog offers every file, the data file (or a link to it) too:
// the window refuses it, says so and writes nothing.
TEST_F(ExchangeWindow, AnExportOntoTheDataFileIsRefused)
{
    seed(named("Anna"));
    select(rowOf("Anna"));
    const QString link = env->root() + QStringLiteral("/Contacts.vcf");
    ASSERT_TRUE(QFile::link(env->dataFile(), link));
    QFile data(env->dataFile());
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    const QByteArray before = data.readAll();
    data.close();

    const auto chooser = [&](QWidget*) { return ExportTarget{link, VCardVersion::V40}; };
    exportSelectedVCardsCommand(*form, chooser);
    exportAllVCardsCommand(*form, chooser);

    // A plain warning: no error report asking for a screenshot.
    const QString refusal =
        "Cannot write " + link + ": Rondexa keeps its contacts there. Choose another file for the export.";
    EXPECT_EQ(messages->texts(), QStringList({refusal, refusal}));
    ASSERT_TRUE(data.open(QIODevice::ReadOnly));
    EXPECT_TRUE(data.readAll() == before);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}
