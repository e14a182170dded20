#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "support/controls.h"
#include "support/fakes.h"
#include "support/tempenv.h"
#include "ui/cursorfile.h"
#include "ui/main/form1.h"
#include "ui/skin.h"

namespace {

// A button face unlike any window colour, so that taking the wrong role shows.
const QColor kButtonFace(0xd4, 0xd0, 0xc8);

QColor background(const QWidget* widget)
{
    return widget->palette().color(QPalette::Window);
}

QString sourceFile(const char* relative)
{
    return QFileInfo(QString::fromUtf8(__FILE__)).absolutePath() + QStringLiteral("/../../") +
           QString::fromUtf8(relative);
}

// An editor-like window as designed: white, with the kinds of controls that
// take the button face and some that keep their own colours.
struct EditorLike {
    QDialog window;
    QGroupBox* frame;
    QLabel* innerLabel;
    QLabel* outerLabel;
    QCheckBox* check;
    QRadioButton* option;
    QLineEdit* field;
    QPushButton* button;

    EditorLike()
    {
        QPalette white = window.palette();
        white.setColor(QPalette::Window, Qt::white);
        white.setColor(QPalette::Base, Qt::white);
        window.setPalette(white);
        frame = new QGroupBox(QStringLiteral("Phones"), &window);
        innerLabel = new QLabel(QStringLiteral("Mobile No. 1"), frame);
        check = new QCheckBox(QStringLiteral("Favourite"), frame);
        option = new QRadioButton(QStringLiteral("Private"), frame);
        outerLabel = new QLabel(QStringLiteral("Name"), &window);
        field = new QLineEdit(&window);
        button = new QPushButton(QStringLiteral("Save Contact"), &window);
    }
};

class Skin : public ::testing::Test {
protected:
    void SetUp() override
    {
        mPalette = QApplication::palette();
        QPalette system = mPalette;
        system.setColor(QPalette::Button, kButtonFace);
        system.setColor(QPalette::Window, QColor(0xec, 0xec, 0xec));
        QApplication::setPalette(system);
    }
    void TearDown() override { QApplication::setPalette(mPalette); }

    void writeSkin(const QByteArray& sheet) const
    {
        QDir().mkpath(env.appFolder() + "/x");
        QFile file(env.appFolder() + "/x/o.cjs");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(sheet);
    }

    TempEnv env;
    ScriptedMessages& messages = env.messages();
    QPalette mPalette;
};

// Records Qt's warnings, where it says that a style sheet does not parse.
class Warnings {
public:
    Warnings()
    {
        sLog = &mLog;
        mPrevious = qInstallMessageHandler(record);
    }
    ~Warnings()
    {
        qInstallMessageHandler(mPrevious);
        sLog = nullptr;
    }
    const QStringList& log() const { return mLog; }

private:
    static void record(QtMsgType, const QMessageLogContext&, const QString& text)
    {
        if (sLog)
            *sLog << text;
    }
    static inline QStringList* sLog = nullptr;
    QStringList mLog;
    QtMessageHandler mPrevious = nullptr;
};

QStringList polishWarnings(QWidget& window, const QString& sheet)
{
    const Warnings warnings;
    window.setStyleSheet(sheet);
    window.ensurePolished();
    for (QWidget* child : window.findChildren<QWidget*>())
        child->ensurePolished();
    return warnings.log();
}

} // namespace

TEST_F(Skin, WithoutSkinFileTheMainWindowStaysWhiteAndTheEditorTurnsGrey)
{
    Form1 form(env.session());
    SkinFramework skin;
    ApplySkin(&form, skin, env.appFolder());
    EXPECT_EQ(background(&form), QColor(Qt::white));
    EXPECT_EQ(background(&control<QGroupBox>(form, "Frame1")), QColor(Qt::white));
    EXPECT_TRUE(form.styleSheet().isEmpty());
    // Nothing reached the skin control.
    EXPECT_EQ(skin.options(), 0);
    EXPECT_FALSE(skin.member5());
    EXPECT_FALSE(skin.member10());

    EditorLike editor;
    SetFormColors(&editor.window);
    for (const QWidget* w : std::initializer_list<const QWidget*>{&editor.window, editor.frame, editor.innerLabel,
                                                                  editor.outerLabel, editor.check, editor.option}) {
        EXPECT_EQ(background(w), kButtonFace) << w->metaObject()->className();
        EXPECT_TRUE(w->autoFillBackground()) << w->metaObject()->className();
    }
    // Text boxes and command buttons keep their own colours.
    EXPECT_EQ(editor.field->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_FALSE(editor.field->autoFillBackground());
    EXPECT_FALSE(editor.button->autoFillBackground());
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(Skin, ASkinFileColoursTheMainWindowAndAppliesTheSheet)
{
    const QByteArray sheet = "QPushButton { color: #123456; }\nQGroupBox { border: 2px solid #336699; }\n";
    writeSkin(sheet);
    Form1 form(env.session());
    SkinFramework skin;
    skin.setOptions(6);
    ApplySkin(&form, skin, env.appFolder());

    EXPECT_EQ(background(&form), kButtonFace);
    EXPECT_EQ(background(&control<QGroupBox>(form, "Frame1")), kButtonFace);
    EXPECT_EQ(form.styleSheet(), QString::fromUtf8(sheet));
    EXPECT_EQ(skin.styleSheet(), QString::fromUtf8(sheet));
    EXPECT_EQ(skin.options(), 7) << "the flags read and Or 1";
    EXPECT_TRUE(skin.member5());
    EXPECT_TRUE(skin.member10());
    // The sheet is in force on the window's controls.
    control<QPushButton>(form, "PushButton1").ensurePolished();
    EXPECT_EQ(control<QPushButton>(form, "PushButton1").palette().color(QPalette::ButtonText),
              QColor(0x12, 0x34, 0x56));
    // The search box keeps its own colours.
    EXPECT_FALSE(control<QLineEdit>(form, "Text1").autoFillBackground());
}

TEST_F(Skin, AFolderOrADanglingLinkIsNoSkin)
{
    QDir().mkpath(env.appFolder() + "/x/o.cjs");
    Form1 form(env.session());
    SkinFramework skin;
    ApplySkin(&form, skin, env.appFolder());
    EXPECT_EQ(background(&form), QColor(Qt::white));
    EXPECT_TRUE(form.styleSheet().isEmpty());
    EXPECT_EQ(skin.options(), 0);

    QDir(env.appFolder() + "/x/o.cjs").removeRecursively();
    ASSERT_TRUE(QFile::link(env.appFolder() + "/x/gone.cjs", env.appFolder() + "/x/o.cjs"));
    ApplySkin(&form, skin, env.appFolder());
    EXPECT_EQ(background(&form), QColor(Qt::white));
    EXPECT_EQ(skin.options(), 0);
}

TEST_F(Skin, AnUnreadableSkinIsReportedAtLine118AfterTheColoursAreSet)
{
    // A plain file that opens but fails on reading, even for root.
    QDir().mkpath(env.appFolder() + "/x");
    ASSERT_TRUE(QFile::link("/proc/self/mem", env.appFolder() + "/x/o.cjs"));
    Form1 form(env.session());
    SkinFramework skin;
    ErrorTrap trap(env.seam(), locationTag("Form1", "Form_Load"));
    trap.step(118, [&] { ApplySkin(&form, skin, env.appFolder()); });

    ASSERT_EQ(messages.shown().size(), 1u);
    const QString report = messages.texts()[0];
    EXPECT_TRUE(report.startsWith("Cannot read the skin " + env.appFolder() + "/x/o.cjs: ")) << report.toStdString();
    EXPECT_TRUE(report.contains("Form1.Form_Load at line 118\r\r")) << report.toStdString();
    EXPECT_EQ(background(&form), kButtonFace);
    EXPECT_EQ(background(&control<QGroupBox>(form, "Frame1")), kButtonFace);
    EXPECT_TRUE(form.styleSheet().isEmpty());
    EXPECT_EQ(skin.options(), 0) << "no call after the failed load";
    EXPECT_FALSE(skin.member5());

    // The control keeps the sheet it had when a later load fails.
    const QString good = env.appFolder() + "/x/good.cjs";
    QFile goodFile(good);
    ASSERT_TRUE(goodFile.open(QIODevice::WriteOnly));
    goodFile.write("QLabel { color: red; }");
    goodFile.close();
    SkinFramework loaded;
    loaded.loadSkin(good, QString());
    EXPECT_THROW(loaded.loadSkin(env.appFolder() + "/x/o.cjs", QString()), AppError);
    EXPECT_THROW(loaded.loadSkin(env.appFolder() + "/x/missing.cjs", QString()), AppError);
    EXPECT_EQ(loaded.styleSheet(), "QLabel { color: red; }");
}

TEST(ShippedFiles, ExampleSkinIsAStyleSheetQtParses)
{
    QFile file(sourceFile("data/skins/example.cjs"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString sheet = QString::fromUtf8(file.readAll());
    ASSERT_FALSE(sheet.trimmed().isEmpty());
    TempEnv env;
    Form1 form(env.session());
    EXPECT_EQ(polishWarnings(form, sheet), QStringList());
    // The check can fail: a broken sheet is noticed.
    QWidget other;
    new QPushButton(&other);
    EXPECT_FALSE(polishWarnings(other, "QPushButton { color: ").isEmpty());
}

TEST(ShippedFiles, HandCursorLoadsWithItsHotspotAtTheFingertip)
{
    const QCursor hand = loadCursorFile(sourceFile("data/HAND-M.CUR"));
    EXPECT_EQ(hand.hotSpot(), QPoint(5, 0));
    const QImage image = hand.pixmap().toImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    // Black outline at the tip, white inside the finger, clear beside it.
    EXPECT_EQ(image.pixelColor(5, 0), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(5, 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(image.pixelColor(31, 31).alpha(), 0);
}
