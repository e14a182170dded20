#include "ui/main/form1.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/apperror.h"
#include "app/messagebox.h"
#include "app/programend.h"
#include "ui/main/contactlistmodel.h"
#include "ui/twips.h"

namespace {

const char kProductName[] = "Rondexa";
const int kMaxTitleLength = 40;

QFont arial(int points, bool bold)
{
    QFont font(QStringLiteral("Arial"), points);
    font.setBold(bold);
    return font;
}

} // namespace

QString shortenedTitle(const QString& productName)
{
    QString title = productName;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title.truncate(blank);
    } while (title.size() > kMaxTitleLength);
    return title;
}

void SetAppTitle()
{
    setApplicationTitle(shortenedTitle(QLatin1String(kProductName)));
}

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    buildControls();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    setFont(arial(9, true));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    resize(twipsToPixels(8040), twipsToPixels(8970));

    mModel = new ContactListModel(this);
    ListView1 = new QTableView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(mModel);
    ListView1->setGeometry(twipsRect(120, 1575, 7800, 5775));
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setShowGrid(false);
    ListView1->setWordWrap(false);
    ListView1->setAlternatingRowColors(false);
    ListView1->verticalHeader()->hide();
    // Fixed row heights keep a list of a hundred thousand contacts fast to fill
    // and scroll: no row is ever measured.
    ListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListView1->verticalHeader()->setDefaultSectionSize(ListView1->fontMetrics().height() + 4);
    ListView1->horizontalHeader()->setMinimumSectionSize(0);
    ListView1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListView1->horizontalHeader()->setHighlightSections(false);
    ListView1->setAccessibleName(QStringLiteral("Contacts"));
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionResized, this, &Form1::columnResized);

    PushButton1 = makeButton(this, "PushButton1", QStringLiteral("Add New Contact"), 120, 7440, 3840, 405);
    PushButton3 = makeButton(this, "PushButton3", QStringLiteral("Update Contact"), 4080, 7440, 3840, 405);
    PushButton2 = makeButton(this, "PushButton2", QStringLiteral("Delete Contact"), 120, 7950, 3840, 405);
    PushButton8 =
        makeButton(this, "PushButton8", QStringLiteral("Load Sample/Example Data"), 4080, 7950, 3840, 405);
    PushButton6 = makeButton(this, "PushButton6", QStringLiteral("Create/Print Report"), 120, 8460, 3840, 405);
    PushButton7 = makeButton(this, "PushButton7", QStringLiteral("Save Database To Excel"), 4080, 8460, 3840, 405);

    Frame1 = new QGroupBox(QStringLiteral("Search Contacts"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 90, 7800, 1335));
    Text1 = new QLineEdit(Frame1);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(240, 300, 7300, 345));
    Text1->setAccessibleName(QStringLiteral("Search Contacts"));
    PushButton4 = makeButton(Frame1, "PushButton4", QStringLiteral("Search"), 240, 750, 5865, 405);
    PushButton5 = makeButton(Frame1, "PushButton5", QStringLiteral("Help"), 6240, 750, 1290, 405);

    setTabOrder(ListView1, PushButton1);
    setTabOrder(PushButton1, PushButton3);
    setTabOrder(PushButton3, PushButton2);
    setTabOrder(PushButton2, Text1);
    setTabOrder(Text1, PushButton4);
    setTabOrder(PushButton4, PushButton6);
    setTabOrder(PushButton6, PushButton7);
    setTabOrder(PushButton7, PushButton5);
    setTabOrder(PushButton5, PushButton8);

    setMouseTracking(true);
    installEventFilter(this);
    Frame1->setMouseTracking(true);
    Frame1->installEventFilter(this);
    ListView1->viewport()->setMouseTracking(true);
    ListView1->viewport()->installEventFilter(this);
}

QPushButton* Form1::makeButton(QWidget* parent, const char* name, const QString& caption, double left, double top,
                               double width, double height)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twipsRect(left, top, width, height));
    button->setFont(arial(9, false));
    button->setAutoDefault(false);
    button->setMouseTracking(true);
    button->installEventFilter(this);
    return button;
}

double Form1::columnWidthTwips(int column) const
{
    if (column < 0 || column >= static_cast<int>(mColumnTwips.size()) || column >= mModel->columnCount())
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    return mColumnTwips[static_cast<size_t>(column)];
}

void Form1::setColumnWidthTwips(int column, double twips)
{
    if (column < 0 || column >= static_cast<int>(mColumnTwips.size()) || column >= mModel->columnCount())
        throw AppError(QStringLiteral("Index out of bounds"), 35600);
    mColumnTwips[static_cast<size_t>(column)] = twips;
    mSettingWidth = true;
    ListView1->horizontalHeader()->resizeSection(column, twipsToPixels(twips));
    mSettingWidth = false;
}

void Form1::columnResized(int column, int, int newSize)
{
    if (!mSettingWidth && column >= 0 && column < static_cast<int>(mColumnTwips.size()))
        mColumnTwips[static_cast<size_t>(column)] = pixelsToTwips(newSize);
}

void Form1::setMousePointer(int pointer)
{
    mMousePointer = pointer;
    applyPointer();
}

void Form1::applyPointer()
{
    QCursor cursor(Qt::ArrowCursor);
    if (mMousePointer == 11)
        cursor = QCursor(Qt::WaitCursor);
    else if (mMousePointer == 99 && mHasHandCursor)
        cursor = mHandCursor;
    setCursor(cursor);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // Pointer feedback: the hand over a button, the arrow elsewhere, and a
    // showing hourglass is never replaced by a mouse move.
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        const bool overButton = qobject_cast<QPushButton*>(watched) != nullptr;
        if (mMousePointer != 11)
            setMousePointer(overButton ? 99 : 0);
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

void Form1::Form_Unload()
{
    if (mUnloaded)
        return;
    mUnloaded = true;
    endProgram(0);
}
