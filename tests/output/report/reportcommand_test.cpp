// "Create/Print Report" from the main window: what it reads, what it shows,
// what it prints, and how it reports failures.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "output/reportcommand.h"
#include "output/reportpageview.h"
#include "output/reportpreview.h"
#include "output/reportrenderer.h"
#include "output/reportrows.h"
#include "output/rptmain.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/recordset.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/commands/contactcommands.h"
#include "ui/main/form1.h"

namespace {

const char kFooter[] = "\r\rPlease email screenshot of this message to support@marrowind.example";

// Acts on the first modal window that shows up, as a user would, then closes
// it: the way Qt's own message box tests drive a modal loop.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> act) : mAct(std::move(act))
    {
        QObject::connect(&mTimer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || mSeen)
                return;
            mSeen = true;
            mTimer.stop();
            mAct(modal);
            modal->close();
        });
        mTimer.start(10);
    }
    bool seen() const { return mSeen; }

private:
    std::function<void(QWidget*)> mAct;
    QTimer mTimer;
    bool mSeen = false;
};

Contact contactNamed(const QString& name)
{
    Contact values;
    values[contact::Field::Name] = name;
    return values;
}

// The names of every contact in the report, page after page.
QStringList reportedNames(ReportRenderer& renderer)
{
    QStringList names;
    for (int page = 0; page < renderer.pageCount(); ++page) {
        for (const ReportRenderer::Item& item : renderer.layoutPage(page)) {
            if (item.name == "Text1")
                names << item.text;
        }
    }
    return names;
}

} // namespace

class ReportCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<Form1>(env.session());
        ASSERT_TRUE(form->Form_Load());
        ASSERT_TRUE(messages->shown().empty());
        form->show();
    }
    void TearDown() override { form.reset(); }
    void seed(const std::vector<QString>& names)
    {
        for (const QString& name : names)
            env.gConn()->execute(contact::insertStatement(contactNamed(name)));
        form->loadRondexa();
    }
    // Presses the button; returns the names the preview held, in order.
    QStringList pressAndRead()
    {
        QStringList names;
        ModalWatcher watcher([&](QWidget* modal) {
            auto* preview = qobject_cast<ReportPreview*>(modal);
            ASSERT_NE(preview, nullptr);
            names = reportedNames(preview->renderer());
        });
        form->PushButton6_Click();
        EXPECT_TRUE(watcher.seen());
        return names;
    }

    TempEnv env;
    ScriptedMessages* messages = &env.messages();
    std::unique_ptr<Form1> form;
};

TEST_F(ReportCommand, PreviewIsModalCaptionedAndOwnedByTheMainWindowAndDrawsItsFirstPage)
{
    seed({"Anna", "Bob"});
    bool checked = false;
    ModalWatcher watcher([&](QWidget* modal) {
        EXPECT_EQ(modal->windowTitle(), "DataReport1");
        EXPECT_TRUE(modal->isModal());
        EXPECT_EQ(modal->parentWidget(), form.get());
        EXPECT_EQ(modal->windowModality(), Qt::ApplicationModal);
        auto* preview = qobject_cast<ReportPreview*>(modal);
        ASSERT_NE(preview, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return preview->pageView()->paintCount() > 0; }, 5000));
        EXPECT_EQ(preview->pageView()->page(), 0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return preview->renderer().isPaginated(); }, 5000));
        const auto* count = preview->findChild<QLabel*>();
        ASSERT_NE(count, nullptr);
        EXPECT_EQ(count->text(), "of 1");
        checked = true;
    });
    form->PushButton6_Click();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(messages->shown().empty());
    // The preview is gone once the command has ended.
    EXPECT_EQ(form->findChild<ReportPreview*>(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ReportCommand, ReportHoldsEveryContactInTheTablesOwnOrderWhateverTheListShows)
{
    seed({"Zed", "anna", QString::fromUtf8("Борис"), "Bob"});
    env.gConn()->execute(contact::deleteStatement("2"));
    seed({"Carl"});
    searchCommand(*form, "Zed");
    ASSERT_EQ(form->rowCount(), 1);

    EXPECT_EQ(pressAndRead(), QStringList({"Zed", QString::fromUtf8("Борис"), "Bob", "Carl"}));
    EXPECT_TRUE(messages->shown().empty());
    // Nothing changed: the list still shows the search, the table is whole.
    EXPECT_EQ(form->rowCount(), 1);

    // A second press reads the table afresh.
    seed({"Dora"});
    EXPECT_EQ(pressAndRead(), QStringList({"Zed", QString::fromUtf8("Борис"), "Bob", "Carl", "Dora"}));
}

TEST_F(ReportCommand, RecordsetThatCannotOpenIsReportedAtEveryStepThatNeedsIt)
{
    env.gConn()->execute("drop table tblContact");
    ModalWatcher watcher([](QWidget*) {});
    form->PushButton6_Click();
    EXPECT_FALSE(watcher.seen());
    const QString tag = "in Rondexa2021/08/31.Form1.PushButton6_Click at line ";
    EXPECT_EQ(messages->texts(),
              QStringList({"no such table: tblContact\r\n" + tag + "108" + kFooter,
                           "Operation is not allowed when the object is closed.\r\n" + tag + "112" + kFooter,
                           "Invalid data source.\r\n" + tag + "114" + kFooter,
                           "Operation is not allowed when the object is closed.\r\n" + tag + "116" + kFooter}));
    for (const MessageRequest& shown : messages->shown()) {
        EXPECT_EQ(shown.title, "Application Error");
        EXPECT_EQ(shown.icon, MsgIcon::Exclamation);
        EXPECT_EQ(shown.buttons, MsgButtons::Ok);
    }
}

TEST_F(ReportCommand, WithoutTheConnectionTheOpenFailsFirst)
{
    env.gConn().reset();
    ModalWatcher watcher([](QWidget*) {});
    form->PushButton6_Click();
    EXPECT_FALSE(watcher.seen());
    const QStringList texts = messages->texts();
    ASSERT_EQ(texts.size(), 4);
    EXPECT_TRUE(texts[0].endsWith("PushButton6_Click at line 108" + QString(kFooter))) << texts[0].toStdString();
    EXPECT_TRUE(texts[3].contains("at line 116"));
}

TEST_F(ReportCommand, PdfHoldsTheLabelsAndEveryValueAsStored)
{
    const QString pdftotext = systemTool("pdftotext");
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";

    // Values the old display formats would have turned into amounts and dates.
    const std::vector<Contact> contacts = {
        {"12/05/2001", "04/04/1978", "18011358542", "07700900123", "18015813542", "0", "1.5", "-12", "18015425813",
         "+44 20 7946 0958", "martin.oakes@example.com", "www.example.com/m", "VODE Manager"},
        {QString::fromUtf8("Борис Яковлев"), "09/10/1987", "1112357845710", "", "", "", "", "", "", "",
         "boris@example.net", "", QString::fromUtf8("звонить после шести")},
    };
    for (const Contact& values : contacts)
        env.gConn()->execute(contact::insertStatement(values));

    Recordset recordset;
    recordset.open(contact::reportQuery(), env.session().connection(), 3, 1);
    rptMain report(env.seam());
    report.setDataSource(recordset);
    recordset.close();
    QTemporaryDir folder;
    const QString pdf = folder.filePath("report.pdf");
    ReportRenderer::writePdf(rptMain::design(), report.rows(), pdf, QPageSize(QPageSize::A4));

    QProcess process;
    process.start(pdftotext, {pdf, "-"});
    ASSERT_TRUE(process.waitForFinished(20000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const char* label : {"Name", "DateOfBirth", "Mobile", "Work", "Fax", "Home", "Email", "Website", "Remark"})
        EXPECT_TRUE(text.contains(QString(label))) << label;
    for (const Contact& values : contacts) {
        for (const QString& value : values)
            EXPECT_TRUE(text.contains(value)) << value.toStdString();
    }
    EXPECT_FALSE(text.contains(QString::fromUtf8("£")));
    EXPECT_FALSE(text.contains("18,011,358,542"));

    // Where the words landed on the paper, in points from its corner: the same
    // places through a printer that keeps margins of its own, on Letter paper.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString printed = folder.filePath("printed.pdf");
    printer.setOutputFileName(printed);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(20, 30, 20, 30), QPageLayout::Millimeter);
    ReportRenderer::printReport(rptMain::design(), report.rows(), printer);

    for (const QString& file : {pdf, printed}) {
        SCOPED_TRACE(file.toStdString());
        QProcess boxes;
        boxes.start(pdftotext, {"-bbox", file, "-"});
        ASSERT_TRUE(boxes.waitForFinished(20000));
        const QString html = QString::fromUtf8(boxes.readAllStandardOutput());
        const auto corner = [&html](const QString& word) {
            const QRegularExpression pattern("xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>" +
                                             QRegularExpression::escape(word) + "<");
            const QRegularExpressionMatch match = pattern.match(html);
            return match.hasMatch() ? QPointF(match.captured(1).toDouble(), match.captured(2).toDouble())
                                    : QPointF(-1, -1);
        };
        const QPointF name = corner("Name");
        EXPECT_NEAR(name.x(), 500 / 20.0, 0.3);
        EXPECT_NEAR(name.y(), 1440 / 20.0, 1.5);
        EXPECT_NEAR(corner("DateOfBirth").x(), (500 + 1701) / 20.0, 0.3);
        EXPECT_NEAR(corner("Website").x(), (500 + 5669) / 20.0, 0.3);
        EXPECT_NEAR(corner("Website").y() - name.y(), 300 / 20.0, 0.3);
        EXPECT_NEAR(corner("18015813542").x(), (500 + 4300) / 20.0, 0.3);
        const QPointF remark = corner("VODE");
        EXPECT_NEAR(remark.x(), (500 + 2835) / 20.0, 0.3);
        EXPECT_NEAR(remark.y() - name.y(), (810 + 850) / 20.0, 0.3);
        // The second contact's band starts 1140 twips below the first one's.
        EXPECT_NEAR(corner("09/10/1987").y() - corner("04/04/1978").y(), 1140 / 20.0, 0.3);
    }
}

TEST(ReportPreviewWindow, PagesAreFoundAfterTheFirstIsShownAndTheWholeReportGoesToPdf)
{
    ScriptedMessages messages;
    Messages seam(messages);
    ReportRows rows(rptMain::design().dataFields());
    for (int i = 0; i < 4000; ++i) {
        QStringList texts(13);
        texts[0] = QStringLiteral("Contact %1").arg(i);
        texts[12] = QStringLiteral("remark %1").arg(i);
        rows.append(texts);
    }
    ReportPreview preview(rptMain::design(), rows, seam, nullptr);
    int knownAtFirstPaint = -1;
    QObject::connect(preview.pageView(), &ReportPageView::pagePainted, [&] {
        if (knownAtFirstPaint < 0)
            knownAtFirstPaint = preview.renderer().knownPageCount();
    });
    EXPECT_EQ(preview.renderer().knownPageCount(), 0);
    preview.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return knownAtFirstPaint >= 0; }, 5000));
    EXPECT_EQ(knownAtFirstPaint, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview.renderer().isPaginated(); }, 20000));
    const int pages = preview.renderer().knownPageCount();
    EXPECT_GT(pages, 300);

    preview.goToPage(INT_MAX);
    EXPECT_EQ(preview.pageView()->page(), pages - 1);
    preview.goToPage(pages + 5);
    EXPECT_EQ(preview.pageView()->page(), pages - 1);
    preview.goToPage(-3);
    EXPECT_EQ(preview.pageView()->page(), 0);

    QTemporaryDir folder;
    const QString pdf = folder.filePath("all.pdf");
    preview.saveAsPdf(pdf);
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString bytes = QString::fromLatin1(file.readAll());
    EXPECT_EQ(bytes.count(QRegularExpression("/Type\\s*/Page(?![a-zA-Z])")), pages);
    EXPECT_THROW(preview.saveAsPdf(folder.filePath("no/such/folder/x.pdf")), std::exception);
    EXPECT_TRUE(messages.shown().empty());
}
