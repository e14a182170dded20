#include "ui/editor/form2.h"

#include <limits>

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>

#include "app/apperror.h"
#include "app/errortrap.h"
#include "app/messagebox.h"
#include "app/skin.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/paths.h"
#include "store/textrules.h"
#include "ui/appicon.h"
#include "ui/cursorfile.h"
#include "ui/editor/mainlist.h"
#include "ui/editor/notesbox.h"
#include "ui/editor/storeddate.h"
#include "ui/pointerfeedback.h"
#include "ui/twips.h"

namespace {

QFont arial(int points, bool bold)
{
    QFont font(QStringLiteral("Arial"), points);
    font.setBold(bold);
    return font;
}

// The picker shows the user's own date order, always with four-digit years.
QString pickerFormat()
{
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

// The notes exactly as typed: toPlainText() would turn no-break spaces into
// blanks and line separators into line breaks.
QString notesAsTyped(const QPlainTextEdit* box)
{
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace

bool DoesNameExist(const MainList& list, const QString& name)
{
    const CaseFolding& folding = CaseFolding::forUserLocale();
    const QString wanted = folding.fold(name);
    const QByteArray wantedUtf8 = wanted.toUtf8();
    const auto isAscii = [](QByteArrayView text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
        }
        return true;
    };
    // Turkic folding turns the ASCII "I" into a dotless i: no shortcut there.
    const bool asciiShortcut = !folding.isTurkic();
    const bool wantedAscii = isAscii(wantedUtf8);
    bool found = false;
    const int rows = list.rowCount();
    for (int row = 0; row < rows; ++row) {
        const QByteArrayView listed = list.textUtf8(row, 1);
        // An ASCII name folds to ASCII: it can only match an ASCII text, and
        // byte by byte without any case tables. The list may hold a hundred
        // thousand names and this runs on every save.
        if (asciiShortcut && isAscii(listed)) {
            if (!wantedAscii || listed.size() != wantedUtf8.size())
                continue;
            bool same = true;
            for (qsizetype i = 0; same && i < listed.size(); ++i) {
                char c = listed[i];
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c + ('a' - 'A'));
                same = c == wantedUtf8[i];
            }
            found = found || same;
        } else if (folding.fold(textFromUtf8(listed)) == wanted) {
            found = true;
        }
    }
    return found;
}

Form2::Form2(MainList& list, QWidget* owner) : QDialog(owner), mList(list)
{
    setObjectName(QStringLiteral("Form2"));
    buildControls();
    Form_Load();
}

Form2::~Form2() = default;

QLabel* Form2::addLabel(QWidget* parent, const char* name, const QString& caption, double left, double top,
                        double width)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(twipsRect(left, top, width, 225));
    // Liberation Sans renders a few pixels wider than the designed widths
    // allow; a caption may use the gap up to its field rather than lose its
    // colon.
    label->setMinimumWidth(label->sizeHint().width());
    return label;
}

QLineEdit* Form2::addField(QWidget* parent, const char* labelName, const QString& caption, double labelLeft,
                           double labelTop, double labelWidth, const char* fieldName, double left, double top,
                           double width)
{
    QLabel* label = addLabel(parent, labelName, caption, labelLeft, labelTop, labelWidth);
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(fieldName));
    field->setGeometry(twipsRect(left, top, width, 345));
    field->setMaxLength(std::numeric_limits<int>::max());
    label->setBuddy(field);
    field->setAccessibleName(caption);
    return field;
}

void Form2::buildControls()
{
    setWindowTitle(QStringLiteral("Add New Contact"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(arial(9, true));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setFixedSize(twipsToPixels(8040), twipsToPixels(7260));

    txtContactName =
        addField(this, "Label1", QStringLiteral("Contact Name:"), 120, 180, 1245, "txtContactName", 1440, 120, 6480);
    Label1 = findChild<QLabel*>(QStringLiteral("Label1"));
    Label2 = addLabel(this, "Label2", QStringLiteral("Date Of Birth:"), 120, 720, 1125);
    dtpDOB = new QDateEdit(this);
    dtpDOB->setObjectName(QStringLiteral("dtpDOB"));
    dtpDOB->setGeometry(twipsRect(1440, 645, 6480, 375));
    dtpDOB->setCalendarPopup(true);
    dtpDOB->setDateRange(earliestDate(), latestDate());
    dtpDOB->setDisplayFormat(pickerFormat());
    dtpDOB->setDate(QDate::currentDate());
    Label2->setBuddy(dtpDOB);
    dtpDOB->setAccessibleName(Label2->text());

    Frame1 = new QGroupBox(QStringLiteral("Phone Numbers"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 1200, 7800, 2415));
    txtMobile1 =
        addField(Frame1, "Label3", QStringLiteral("Cell No. 1:"), 240, 420, 825, "txtMobile1", 1320, 360, 2400);
    txtMobile2 =
        addField(Frame1, "Label4", QStringLiteral("Cell No. 2:"), 4080, 420, 825, "txtMobile2", 5160, 360, 2400);
    txtOffice1 =
        addField(Frame1, "Label5", QStringLiteral("Office No. 1:"), 240, 900, 1020, "txtOffice1", 1320, 840, 2400);
    txtOffice2 =
        addField(Frame1, "Label6", QStringLiteral("Office No. 2:"), 4080, 900, 1020, "txtOffice2", 5160, 840, 2400);
    txtFax1 = addField(Frame1, "Label7", QStringLiteral("Fax No. 1:"), 240, 1380, 810, "txtFax1", 1320, 1320, 2400);
    txtFax2 = addField(Frame1, "Label8", QStringLiteral("Fax No. 2:"), 4080, 1380, 810, "txtFax2", 5160, 1320, 2400);
    txtHome1 = addField(Frame1, "Label9", QStringLiteral("Home No. 1:"), 240, 1860, 1005, "txtHome1", 1320, 1800, 2400);
    txtHome2 =
        addField(Frame1, "Label10", QStringLiteral("Home No. 2:"), 4080, 1860, 1005, "txtHome2", 5160, 1800, 2400);

    Frame2 = new QGroupBox(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(120, 3720, 7800, 2895));
    txtEmailAdd = addField(Frame2, "Label11", QStringLiteral("Email:"), 120, 420, 510, "txtEmailAdd", 1320, 360, 6255);
    txtWebsite = addField(Frame2, "Label12", QStringLiteral("Website:"), 120, 900, 750, "txtWebsite", 1320, 840, 6255);
    QLabel* notes = addLabel(Frame2, "Label13", QStringLiteral("Addn Notes:"), 120, 1380, 1020);
    txtRemarks = new NotesBox(Frame2);
    txtRemarks->setObjectName(QStringLiteral("txtRemarks"));
    txtRemarks->setGeometry(twipsRect(1320, 1320, 6255, 1425));
    txtRemarks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtRemarks->setTabChangesFocus(true);
    notes->setBuddy(txtRemarks);
    txtRemarks->setAccessibleName(notes->text());

    PushButton1 = new QPushButton(QStringLiteral("Save Contact"), this);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setGeometry(twipsRect(120, 6720, 3840, 405));
    PushButton2 = new QPushButton(QStringLiteral("Cancel"), this);
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    PushButton2->setGeometry(twipsRect(4080, 6720, 3840, 405));
    for (QPushButton* button : {PushButton1, PushButton2}) {
        button->setFont(arial(9, false));
        button->setAutoDefault(false);
    }

    QWidget* order[] = {txtContactName, dtpDOB,   txtMobile1,  txtMobile2, txtOffice1, txtOffice2,  txtFax1,    txtFax2,
                        txtHome1,       txtHome2, txtEmailAdd, txtWebsite, txtRemarks, PushButton1, PushButton2};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    mPointer = new PointerFeedback(this);
    mPointer->watchSurface(Frame1);
    mPointer->watchSurface(Frame2);
    mPointer->watchButton(PushButton1);
    mPointer->watchButton(PushButton2);

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

int Form2::mousePointer() const
{
    return mPointer->pointer();
}

void Form2::setMousePointer(int pointer)
{
    mPointer->setPointer(pointer);
}

void Form2::Form_Load()
{
    ErrorTrap trap(locationTag("Form2", "Form_Load"));
    trap.step(100, [&] { SetFormColors(this); });
    trap.step(102, [&] { setWindowIcon(applicationIcon()); });
    const QString handCursor = applicationFolder() + QStringLiteral("/HAND-M.CUR");
    if (trap.test(104, [&] { return fileExists(handCursor); }))
        trap.step(106, [&] { mPointer->setHandCursor(loadCursorFile(handCursor)); });
}

void Form2::PushButton1_Click()
{
    ErrorTrap trap(locationTag("Form2", "PushButton1_Click"));
    if (trap.test(100, [&] { return txtContactName->text().trimmed().isEmpty(); })) {
        trap.step(126, [] { msgBox(QStringLiteral("You forgot to input contact name.")); });
        return;
    }
    // Computed in both modes; an update may keep its name or take another's.
    if (trap.test(102, [&] {
            return DoesNameExist(mList, txtContactName->text()) && PushButton1->text() != QLatin1String("Update");
        })) {
        trap.step(124, [] { msgBox(QStringLiteral("Contact name already exists in the database.")); });
        return;
    }
    trap.step(104, [&] { setMousePointer(11); });

    const contact::Values values = fieldValues();
    // A statement the database refused must not be followed by a success
    // message or a closed window: the user keeps everything typed and can try
    // again or cancel.
    if (trap.test(106, [&] { return mContactID.isEmpty(); })) {
        if (!trap.attempt(108, [&] { sharedConnection().execute(contact::insertStatement(values)); })) {
            setMousePointer(0);
            return;
        }
        trap.step(110, [&] { setMousePointer(0); });
        trap.step(112, [&] { mList.loadRondexa(); });
        trap.step(114, [] { msgBox(QStringLiteral("Record Successfully Saved.")); });
    } else if (!saveUpdate(trap, values)) {
        setMousePointer(0);
        return;
    }
    trap.step(120, [&] { setMousePointer(0); });
    trap.step(122, [&] { accept(); });
}

contact::Values Form2::fieldValues() const
{
    return {txtContactName->text(), formatStoredDate(dtpDOB->date()),
            txtMobile1->text(),     txtMobile2->text(),
            txtOffice1->text(),     txtOffice2->text(),
            txtFax1->text(),        txtFax2->text(),
            txtHome1->text(),       txtHome2->text(),
            txtEmailAdd->text(),    txtWebsite->text(),
            notesAsTyped(txtRemarks)};
}

void Form2::rememberFilled(const StoredTexts& stored)
{
    mStored = stored;
    mFilled = fieldValues();
    mFilledDate = dtpDOB->date();
    mForced.fill(false);
}

std::array<bool, contact::kDataColumns> Form2::changedFields() const
{
    std::array<bool, contact::kDataColumns> changed;
    changed.fill(true);
    if (!mStored)
        return changed;
    const contact::Values now = fieldValues();
    for (size_t i = 0; i < changed.size(); ++i)
        changed[i] = mForced[i] || now[i] != mFilled[i];
    // The date as picked, not as formatted: a stored date the picker could
    // not read, or one written with another separator, stays as it is until
    // the user picks a date.
    changed[1] = mForced[1] || dtpDOB->date() != mFilledDate;
    return changed;
}

bool Form2::saveUpdate(ErrorTrap& trap, const contact::Values& values)
{
    if (!mStored) {
        // Not filled from a stored contact: the whole row is written, as
        // every field is the user's.
        if (!trap.attempt(116, [&] { sharedConnection().execute(contact::updateStatement(values, mContactID)); }))
            return false;
        trap.step(118, [&] { mList.loadRondexa(); });
        return true;
    }
    WriteOutcome outcome = WriteOutcome::Written;
    std::optional<StoredTexts> current;
    if (!trap.attempt(116, [&] {
            outcome = updateIfUnchanged(sharedConnection(), mContactID, *mStored,
                                        contact::updateStatement(values, changedFields(), mContactID), current);
        }))
        return false;
    if (outcome == WriteOutcome::Written) {
        trap.step(118, [&] { mList.loadRondexa(); });
        return true;
    }
    trap.step(118, [&] { mList.refreshRow(mContactID); });
    if (outcome == WriteOutcome::ChangedElsewhere) {
        takeStoredValues(*current);
        msgBox(QStringLiteral("This contact was changed elsewhere (in another window or program) while you were "
                              "editing it, so nothing was saved.\n\nThe fields you did not change now show the "
                              "stored values; your own changes are kept. Click Update again to save them, or Cancel."));
    } else {
        msgBox(QStringLiteral("This contact was deleted elsewhere (in another window or program) while you were "
                              "editing it, so nothing was saved.\n\nWhat you typed is still here; click Cancel to "
                              "close the editor."));
    }
    return false;
}

void Form2::takeStoredValues(const StoredTexts& stored)
{
    const std::array<bool, contact::kDataColumns> changed = changedFields();
    QLineEdit* const boxes[] = {txtContactName, nullptr,   txtMobile1,  txtMobile2, txtOffice1, txtOffice2, txtFax1,
                                txtFax2,        txtHome1,  txtHome2,    txtEmailAdd, txtWebsite};
    for (size_t i = 0; i < std::size(boxes); ++i) {
        if (boxes[i] && !changed[i])
            boxes[i]->setText(textFromUtf8(stored[i]));
    }
    if (!changed[1]) {
        try {
            dtpDOB->setDate(readStoredDate(textFromUtf8(stored[1])));
        } catch (const AppError&) {
            // A date the picker cannot show stays stored as it is: the field
            // is only written once the user picks a date.
        }
    }
    if (!changed[12])
        txtRemarks->setNotes(textFromUtf8(stored[12]));
    // The stored contact is the new baseline; what the user changed stays a
    // change against it.
    rememberFilled(stored);
    mForced = changed;
}

void Form2::PushButton2_Click()
{
    ErrorTrap trap(locationTag("Form2", "PushButton2_Click"));
    trap.step(100, [&] { reject(); });
}
