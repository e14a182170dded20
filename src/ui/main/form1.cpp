#include "ui/main/form1.h"

#include <algorithm>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "base/messages.h"
#include "base/programend.h"
#include "output/excelexport.h"
#include "output/excelexportrows.h"
#include "output/reportcommand.h"
#include "output/samplecommand.h"
#include "store/session.h"
#include "ui/commands/contactcommands.h"
#include "ui/commands/exchangecommands.h"
#include "ui/main/contactlistview.h"
#include "ui/main/contactrows.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/storedrows.h"
#include "ui/pointerfeedback.h"
#include "ui/twips.h"

namespace {

const char kProductName[] = "Rondexa";
const int kMaxTitleLength = 40;

// Qt describes a plain top-level widget as a "filler", which screen readers
// do not announce as a window; the main window is the application's frame.
QAccessibleInterface* mainWindowAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("Form1") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
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

void SetAppTitle(Messages& messages)
{
    messages.setApplicationTitle(shortenedTitle(QLatin1String(kProductName)));
}

Form1::Form1(Session& session, QWidget* parent) : QWidget(parent), mSession(session)
{
    setObjectName(QStringLiteral("Form1"));
    static const bool accessibleAsWindow = [] {
        QAccessible::installFactory(mainWindowAccessible);
        return true;
    }();
    Q_UNUSED(accessibleAsWindow);
    mColumnTwips.fill(-1);
    buildControls();
    mSync = new SyncController(*this, this);
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    applyDesignedLook(this);
    resize(twipsToPixels(8040), twipsToPixels(8970));

    mRows = new ContactRows(this);
    mStored = std::make_unique<StoredRows>(mSession);
    mRows->setSource(mStored.get());
    mShown = new ContactSortProxy(*mRows, this);
    connect(mRows, &ContactRows::readFailed, this, [this](const QString& reason) {
        mSession.messages.msgBox(QStringLiteral("A contact could not be read from the data file (%1). Its cells show "
                                                "\"%2\" until it can be read again.")
                                     .arg(reason, ContactRows::unreadableText()));
    });
    ListView1 = new ContactListView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(mShown);
    ListView1->setGeometry(twipsRect(120, 1575, 7800, 5775));
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
    PushButton8 = makeButton(this, "PushButton8", QStringLiteral("Load Sample/Example Data"), 4080, 7950, 3840, 405);
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

    mPointer = new PointerFeedback(this);
    mPointer->watchSurface(Frame1);
    mPointer->watchSurface(ListView1->viewport());
    for (QPushButton* button :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7, PushButton8})
        mPointer->watchButton(button);

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton8, &QPushButton::clicked, this, &Form1::PushButton8_Click);
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int logical) { ListView1_ColumnClick(logical + 1); });
    connect(ListView1, &QTableView::doubleClicked, this, &Form1::PushButton3_Click);
    Text1->installEventFilter(this);
    connectExchange();
}

void Form1::afterKey(void (Form1::*command)())
{
    QMetaObject::invokeMethod(this, command, Qt::QueuedConnection);
}

void Form1::connectExchange()
{
    connect(ListView1, &ContactListView::deletePressed, this, [this] { afterKey(&Form1::PushButton2_Click); });
    connect(ListView1, &ContactListView::enterPressed, this, [this] {
        if (selectedRow() >= 0)
            afterKey(&Form1::PushButton3_Click);
    });
    // After the drop has ended: the file manager the files came from is not
    // kept waiting for the import.
    connect(
        ListView1, &ContactListView::filesDropped, this,
        [this](const QStringList& files) { importVCardsCommand(*this, files); }, Qt::QueuedConnection);
    ListView1->setDragData([this] { return selectedContactsDragData(*this); });

    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, &Form1::showContextMenu);

    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        Text1->setFocus(Qt::ShortcutFocusReason);
        Text1->selectAll();
    });
    auto* add = new QShortcut(QKeySequence::New, this);
    connect(add, &QShortcut::activated, this, [this] { afterKey(&Form1::PushButton1_Click); });
    // The search box keeps Ctrl+Z for its own text.
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, [this] { afterKey(&Form1::undoLast); });
    auto* syncNow = new QShortcut(QKeySequence::Refresh, this);
    connect(syncNow, &QShortcut::activated, this, [this] { mSync->syncNow(); });
    auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
    connect(redo, &QShortcut::activated, this, [this] { afterKey(&Form1::redoLast); });
}

void Form1::startSync()
{
    mSync->start();
}

void Form1::reloadKeepingPlace(const QStringList& ids)
{
    const int scrolled = ListView1->verticalScrollBar()->value();
    loadRondexa();
    selectContacts(ids);
    ListView1->verticalScrollBar()->setValue(scrolled);
}

void Form1::undoLast()
{
    undoCommand(*this, UndoDirection::Undo);
}

void Form1::redoLast()
{
    undoCommand(*this, UndoDirection::Redo);
}

void Form1::showContextMenu(const QPoint& at)
{
    QMenu menu(this);
    menu.setTitle(QStringLiteral("Contacts"));
    menu.setAccessibleName(QStringLiteral("Contacts"));
    QAction* undo = menu.addAction(QStringLiteral("Undo ") + mUndo.undoLabel(), this, &Form1::undoLast);
    undo->setEnabled(mUndo.canUndo());
    QAction* redo = menu.addAction(QStringLiteral("Redo ") + mUndo.redoLabel(), this, &Form1::redoLast);
    redo->setEnabled(mUndo.canRedo());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Import vCards…"), this, [this] { chooseAndImportVCardsCommand(*this); });
    QAction* selected = menu.addAction(QStringLiteral("Export Selected as vCard…"), this,
                                       [this] { exportSelectedVCardsCommand(*this); });
    selected->setEnabled(selectedRow() >= 0);
    menu.addAction(QStringLiteral("Export All as vCard…"), this, [this] { exportAllVCardsCommand(*this); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Sync Account…"), this, [this] { mSync->chooseAccount(); });
    QAction* syncNow = menu.addAction(QStringLiteral("Sync Now"), this, [this] { mSync->syncNow(); });
    syncNow->setShortcut(QKeySequence::Refresh);
    syncNow->setEnabled(!mSync->running());
    // The headings' clicks, for a keyboard.
    QMenu* sortBy = menu.addMenu(QStringLiteral("Sort by"));
    for (int column = 1; column < mRows->columnCount(); ++column) {
        QString caption = mRows->headings().value(column);
        if (column == mShown->sortColumn())
            caption += mShown->sortOrder() == Qt::AscendingOrder ? QStringLiteral(" (ascending)")
                                                                 : QStringLiteral(" (descending)");
        QAction* action = sortBy->addAction(caption, this, [this, column] { ListView1_ColumnClick(column + 1); });
        action->setCheckable(true);
        action->setChecked(column == mShown->sortColumn());
    }
    menu.exec(ListView1->viewport()->mapToGlobal(at));
}

void Form1::importFiles(const QStringList& files)
{
    importVCardsCommand(*this, files);
}

QPushButton* Form1::makeButton(QWidget* parent, const char* name, const QString& caption, double left, double top,
                               double width, double height)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twipsRect(left, top, width, height));
    button->setFont(arial(9, false));
    button->setAutoDefault(false);
    return button;
}

double Form1::columnWidthTwips(int column) const
{
    if (column < 0 || column >= static_cast<int>(mColumnTwips.size()) || column >= mRows->columnCount())
        throw AppError::indexOutOfBounds();
    // A column whose width was never set or dragged has the list's own.
    if (mColumnTwips[static_cast<size_t>(column)] < 0)
        return pixelsToTwips(ListView1->horizontalHeader()->sectionSize(column));
    return mColumnTwips[static_cast<size_t>(column)];
}

void Form1::setColumnWidthTwips(int column, double twips)
{
    if (column < 0 || column >= static_cast<int>(mColumnTwips.size()) || column >= mRows->columnCount())
        throw AppError::indexOutOfBounds();
    mColumnTwips[static_cast<size_t>(column)] = twips;
    mSettingWidth = true;
    ListView1->horizontalHeader()->resizeSection(column, twipsToPixels(twips));
    mSettingWidth = false;
    if (column == 0)
        hideNarrowId();
}

void Form1::columnResized(int column, int, int newSize)
{
    if (!mSettingWidth && column >= 0 && column < static_cast<int>(mColumnTwips.size()))
        mColumnTwips[static_cast<size_t>(column)] = pixelsToTwips(newSize);
}

int Form1::mousePointer() const
{
    return mPointer->pointer();
}

void Form1::setMousePointer(int pointer)
{
    mPointer->setPointer(pointer);
}

bool Form1::hasHandCursor() const
{
    return mPointer->hasHandCursor();
}

int Form1::rowCount() const
{
    return mShown->rowCount();
}

int Form1::selectedRow() const
{
    const QModelIndex current = ListView1->currentIndex();
    if (current.isValid() && ListView1->selectionModel()->isRowSelected(current.row()))
        return current.row();
    const std::vector<int> rows = selectedRows();
    return rows.empty() ? -1 : rows.front();
}

std::vector<int> Form1::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : ListView1->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void Form1::selectContacts(const QStringList& ids)
{
    QItemSelection selection;
    QModelIndex first;
    for (const QString& id : ids) {
        const int at = mRows->rowOf(id.toLatin1());
        if (at < 0)
            continue;
        const QModelIndex shown = mShown->mapFromSource(mRows->index(at, 1));
        selection.select(shown, shown);
        if (!first.isValid())
            first = shown;
    }
    if (!first.isValid())
        return;
    QItemSelectionModel* model = ListView1->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    ListView1->scrollTo(first);
}

void Form1::selectRowAt(int row)
{
    const int rows = mShown->rowCount();
    if (rows == 0)
        return;
    const QModelIndex shown = mShown->index(std::clamp(row, 0, rows - 1), 1);
    ListView1->selectionModel()->setCurrentIndex(shown,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ListView1->scrollTo(shown);
}

QString Form1::id(int row) const
{
    return mRows->row(mShown->sourceRow(row))[0];
}

QString Form1::text(int row, contact::Field field) const
{
    return mRows->cell(mShown->sourceRow(row), ListRow::column(field));
}

QByteArrayView Form1::textUtf8(int row, contact::Field field) const
{
    return mRows->cellUtf8(mShown->sourceRow(row), ListRow::column(field));
}

std::optional<qint64> Form1::wholeFileVersion() const
{
    if (!mShowsAll || !mChanged.empty())
        return std::nullopt;
    return mFilledVersion;
}

void Form1::clearRows()
{
    mShowsAll = false;
    mRows->setRows({});
}

void Form1::showRows(std::vector<ListRow> rows)
{
    mShowsAll = false;
    mRows->setRowsInNameOrder(std::move(rows));
    describeList(true);
}

void Form1::describeList(bool searched)
{
    const int rows = mShown->rowCount();
    ListView1->setEmptyHint(searched
                                ? QStringLiteral("No contact matches the search.")
                                : QStringLiteral("There are no contacts yet.\n\nClick \"Add New Contact\" (Ctrl+N) "
                                                 "to add one, drop a vCard file here or choose \"Import vCards…\" "
                                                 "from the list's menu (Menu key or Shift+F10), or click \"Load "
                                                 "Sample/Example Data\" to try the program out."));
    const QString found =
        searched ? (rows == 1 ? QStringLiteral("1 contact found") : QStringLiteral("%L1 contacts found").arg(rows))
                 : QString();
    // Heard in the search box, where the user still is after a search.
    Text1->setAccessibleDescription(found);
    ListView1->setAccessibleDescription(rows == 0 && !searched ? QStringLiteral("There are no contacts yet.") : found);
}

void Form1::PushButton1_Click()
{
    addContactCommand(*this);
}

void Form1::PushButton2_Click()
{
    deleteContactCommand(*this);
}

void Form1::PushButton3_Click()
{
    updateContactCommand(*this);
}

void Form1::hideNarrowId()
{
    const bool hide = twipsToPixels(columnWidthTwips(0)) == 0;
    if (ListView1->isColumnHidden(0) == hide)
        return;
    mSettingWidth = true;
    ListView1->setColumnHidden(0, hide);
    mSettingWidth = false;
}

void Form1::PushButton4_Click()
{
    searchCommand(*this, Text1->text());
}

void Form1::Text1_KeyPress(int keyAscii)
{
    if (keyAscii == 13)
        PushButton4_Click();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // The key is never taken away from the box: it still gets it after the
    // search.
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            Text1_KeyPress(13);
        else if (!key->text().isEmpty())
            Text1_KeyPress(key->text().at(0).unicode());
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::PushButton6_Click()
{
    ErrorTrap trap(mSession.messages, locationTag("Form1", "PushButton6_Click"));
    runReportCommand(trap, mSession, this);
}

void Form1::PushButton7_Click()
{
    ErrorTrap trap(mSession.messages, locationTag("Form1", "PushButton7_Click"));
    // The headings as the list shows them, the hidden "ID" first: the
    // export skips that column and writes the others, each over its data.
    const QStringList headings = mRows->headings();
    // The rows as shown now, with every cell, however the list changes while
    // the export runs.
    std::vector<ListRow> rows = mShown->shownRows();
    trap.step(130, [&] { rows = mStored->whole(std::move(rows)); });
    ExcelExportRows list(headings, std::move(rows), this, [this](int pointer) { setMousePointer(pointer); });
    runExcelExport(list, trap);
}

void Form1::PushButton8_Click()
{
    ErrorTrap trap(mSession.messages, locationTag("Form1", "PushButton8_Click"));
    runSampleDataCommand(trap, mSession, [this] { loadRondexa(); });
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
    mSession.programEnd.endProgram(0);
}
