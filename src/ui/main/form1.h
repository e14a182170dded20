#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <QWidget>

#include "store/undohistory.h"
#include "store/viewsettings.h"
#include "ui/commands/mainlist.h"
#include "ui/commands/synccommands.h"
#include "ui/skin.h"

class ContactRows;
class ContactSortProxy;
class StoredRows;
class ErrorTrap;
class Messages;
class PointerFeedback;
class QGroupBox;
class QLineEdit;
class QPushButton;
class ContactListView;
class Recordset;

// The main window: the contact list and the buttons that start every command.
class Form1 : public QWidget, public MainList {
    Q_OBJECT
public:
    explicit Form1(Session& session, QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up sequence; runs while the window is still hidden. Returns
    // false when the program ended during it.
    bool Form_Load();
    void Form_QueryUnload();
    void Form_Unload();
    // The desktop session is ending: remember the view as a close would, in
    // case the session never gets to close the window.
    void sessionEnding();

    // Empties the list and refills it with every contact in name order. It has
    // no error trap: a failure goes to the caller's.
    void loadRondexa() override;
    void reloadKeepingPlace(const QStringList& ids) override;
    // Syncs at start and every 15 minutes, once the file has an account.
    void startSync();
    SyncController& sync() { return *mSync; }
    void refreshRow(const QString& id) override;
    void noteChanged(const QString& id) override;

    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void PushButton8_Click();
    // Ctrl+Z and Ctrl+Shift+Z, and the list menu's "Undo …" and "Redo …".
    void undoLast();
    void redoLast();
    // A key typed into the search box; Enter (13) runs the search, and the
    // box then handles the key as it always does.
    void Text1_KeyPress(int keyAscii);

    // Arranges the controls for the window's state; runs on every change of
    // size or state.
    void Form_Resize();
    // Imports vCard files as a drop on the list would; for files named at
    // start.
    void importFiles(const QStringList& files);
    void ListView1_ColumnClick(int index);
    bool maximizedLayout() const { return mMaximizedLayout; }
    // The window was put where it was when it last closed.
    bool hasRememberedPlace() const { return mPlaced; }

    // The list as the commands see it.
    Session& session() override { return mSession; }
    UndoHistory& undoHistory() override { return mUndo; }
    int rowCount() const override;
    int selectedRow() const override;
    std::vector<int> selectedRows() const override;
    void selectContacts(const QStringList& ids) override;
    void selectRowAt(int row) override;
    QString id(int row) const override;
    QString text(int row, contact::Field field) const override;
    QByteArrayView textUtf8(int row, contact::Field field) const override;
    std::optional<qint64> wholeFileVersion() const override;
    void clearRows() override;
    void showRows(std::vector<ListRow> rows) override;
    QWidget* ownerWidget() override { return this; }

    // 0 the default arrow, 11 the hourglass, 99 the hand.
    int mousePointer() const;
    void setMousePointer(int pointer) override;
    bool hasHandCursor() const;

    // The list as the view shows it, and its rows in their own order.
    ContactSortProxy& listModel() const { return *mShown; }
    ContactRows& listRows() const { return *mRows; }
    double columnWidthTwips(int column) const;
    void setColumnWidthTwips(int column, double twips);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Every contact the recordset still has to deliver, in name order.
    void fillFrom(Recordset& recordset);
    // Reads the list's rows without showing them or saying anything, while
    // the file's check runs: the fill then only shows them.
    void readEarly();

    void buildControls();
    // The list's keys, context menu, drags and drops, and the window's
    // shortcuts.
    void connectExchange();
    void showContextMenu(const QPoint& at);
    // Runs a command once the key that asked for it has been handled: a box
    // it opens is then not opened inside the key's event, which a screen
    // reader is still waiting to hear about.
    void afterKey(void (Form1::*command)());
    // What the list says when it is empty, and how many a search found.
    void describeList(bool searched);
    // The hidden "ID" column takes no keyboard place: it is hidden while it
    // is narrower than a pixel.
    void hideNarrowId();
    // Lines 200 and 202 of the load: the window's place and the sort.
    void restoreView(ErrorTrap& trap);
    void sortClicked();
    QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, double left, double top,
                            double width, double height);
    void columnResized(int column, int oldSize, int newSize);
    // Lines 100 to 106 of the closing: the column widths and the window state.
    void saveView(ErrorTrap& trap);
    int stateNumber() const;

    Session& mSession;
    ContactListView* ListView1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    SkinFramework SkinFramework1;

    ContactRows* mRows = nullptr;
    ContactSortProxy* mShown = nullptr;
    std::unique_ptr<StoredRows> mStored;
    // The list shows every contact, as of the file's data version then.
    bool mShowsAll = false;
    qint64 mFilledVersion = -1;
    // Contacts this window changed since the list was filled.
    std::vector<QString> mChanged;
    std::optional<std::vector<ListRow>> mEarly;
    qint64 mEarlyVersion = -1;
    // Widths in twips as set or as the user dragged them: a 1-twip column
    // shows as 0 pixels but is still remembered as 1.
    std::array<double, ViewSettings::kColumns> mColumnTwips{};
    bool mSettingWidth = false;
    bool mMaximizedLayout = false;
    PointerFeedback* mPointer = nullptr;
    bool mUnloaded = false;
    bool mPlaced = false;
    UndoHistory mUndo;
    SyncController* mSync = nullptr;
};

// The application title: the product name without its last word, words
// dropped until at most 40 characters remain; a name of one word stays whole.
QString shortenedTitle(const QString& productName);
void SetAppTitle(Messages& messages);
