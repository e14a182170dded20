#include "ui/editor/form2.h"

#include <limits>
#include <vector>

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextDocument>

#include "base/apperror.h"
#include "base/errortrap.h"
#include "base/messages.h"
#include "base/mousepointer.h"
#include "model/storeddate.h"
#include "model/storedtext.h"
#include "store/casefolding.h"
#include "store/connection.h"
#include "store/contacttable.h"
#include "store/paths.h"
#include "store/samename.h"
#include "store/session.h"
#include "store/undohistory.h"
#include "ui/appicon.h"
#include "ui/commands/mainlist.h"
#include "ui/cursorfile.h"
#include "ui/editor/birthdateedit.h"
#include "ui/editor/notesbox.h"
#include "ui/pointerfeedback.h"
#include "ui/skin.h"
#include "ui/twips.h"

namespace {

using contact::Field;

// Where each field's caption and control sit, in twips: in the window, or in
// the frame of the phone numbers or of the rest; the caption's text, and the
// object names of the caption and the control (the accessibility layer and
// tests find them by these).
enum class Parent { Window, Phones, Other };
struct Place {
    Field field;
    const char* caption;
    const char* captionName;
    const char* controlName;
    Parent parent;
    double labelLeft, labelTop, labelWidth;
    double left, top, width, height;
};
// clang-format off
const Place kPlaces[] = {
    {Field::Name,        "Contact Name:",  "Label1",  "txtContactName", Parent::Window, 120,  180,  1245, 1440, 120,  6480, 345},
    {Field::DateOfBirth, "Date Of Birth:", "Label2",  "dtpDOB",         Parent::Window, 120,  720,  1125, 1440, 645,  6480, 375},
    {Field::Mobile1,     "Cell No. 1:",    "Label3",  "txtMobile1",     Parent::Phones, 240,  420,  825,  1320, 360,  2400, 345},
    {Field::Mobile2,     "Cell No. 2:",    "Label4",  "txtMobile2",     Parent::Phones, 4080, 420,  825,  5160, 360,  2400, 345},
    {Field::Work1,       "Office No. 1:",  "Label5",  "txtOffice1",     Parent::Phones, 240,  900,  1020, 1320, 840,  2400, 345},
    {Field::Work2,       "Office No. 2:",  "Label6",  "txtOffice2",     Parent::Phones, 4080, 900,  1020, 5160, 840,  2400, 345},
    {Field::Fax1,        "Fax No. 1:",     "Label7",  "txtFax1",        Parent::Phones, 240,  1380, 810,  1320, 1320, 2400, 345},
    {Field::Fax2,        "Fax No. 2:",     "Label8",  "txtFax2",        Parent::Phones, 4080, 1380, 810,  5160, 1320, 2400, 345},
    {Field::Home1,       "Home No. 1:",    "Label9",  "txtHome1",       Parent::Phones, 240,  1860, 1005, 1320, 1800, 2400, 345},
    {Field::Home2,       "Home No. 2:",    "Label10", "txtHome2",       Parent::Phones, 4080, 1860, 1005, 5160, 1800, 2400, 345},
    {Field::Email,       "Email:",         "Label11", "txtEmailAdd",    Parent::Other,  120,  420,  510,  1320, 360,  6255, 345},
    {Field::Website,     "Website:",       "Label12", "txtWebsite",     Parent::Other,  120,  900,  750,  1320, 840,  6255, 345},
    {Field::Remark,      "Addn Notes:",    "Label13", "txtRemarks",     Parent::Other,  120,  1380, 1020, 1320, 1320, 6255, 1425},
};
// clang-format on

// Longer texts are not put into an edit box: laying out a line of millions
// of characters keeps the window busy for minutes. Such a field shows its
// start, cannot be edited here, and is saved as it is.
const qsizetype kLongestEditable = 100000;
const qsizetype kShownOfTooLong = 1000;

// The notes exactly as typed: toPlainText() would turn no-break spaces into
// blanks and line separators into line breaks.
QString notesAsTyped(const QPlainTextEdit* box)
{
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace

bool DoesNameExist(MainList& list, const QString& name)
{
    const SameName same(name, CaseFolding::forUserLocale());
    // A list of the whole file holds the names the file held then; when the
    // connection kept those folded, they answer without a pass over every
    // row, and without touching the file, which another copy may have locked.
    if (const std::optional<qint64> version = list.wholeFileVersion()) {
        if (const Session& session = list.session(); session.gConn) {
            if (const std::optional<bool> stored = session.gConn->storedNames().containsAsOf(*session.gConn, *version, same))
                return *stored;
        }
    }
    bool found = false;
    const int rows = list.rowCount();
    for (int row = 0; row < rows; ++row)
        found = same.matches(list.textUtf8(row, contact::Field::Name)) || found;
    return found;
}

Form2::Form2(MainList& list, QWidget* owner) : QDialog(owner), mList(list), mSession(list.session())
{
    setObjectName(QStringLiteral("Form2"));
    buildControls();
    Form_Load();
}

Form2::~Form2() = default;

QLabel* Form2::addLabel(QWidget* parent, const char* caption, const char* name, double left, double top, double width)
{
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(twipsRect(left, top, width, 225));
    // Liberation Sans renders a few pixels wider than the designed widths
    // allow; a caption may use the gap up to its field rather than lose its
    // colon.
    label->setMinimumWidth(label->sizeHint().width());
    return label;
}

void Form2::buildControls()
{
    setWindowTitle(QStringLiteral("Add New Contact"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    applyDesignedLook(this);
    setFixedSize(twipsToPixels(8040), twipsToPixels(7260));

    auto* phones = new QGroupBox(QStringLiteral("Phone Numbers"), this);
    phones->setObjectName(QStringLiteral("Frame1"));
    phones->setGeometry(twipsRect(120, 1200, 7800, 2415));
    auto* other = new QGroupBox(this);
    other->setObjectName(QStringLiteral("Frame2"));
    other->setGeometry(twipsRect(120, 3720, 7800, 2895));

    std::vector<QWidget*> order;
    for (const Place& place : kPlaces) {
        QWidget* parent = place.parent == Parent::Window   ? static_cast<QWidget*>(this)
                          : place.parent == Parent::Phones ? phones
                                                           : other;
        QLabel* label =
            addLabel(parent, place.caption, place.captionName, place.labelLeft, place.labelTop, place.labelWidth);
        QWidget* control = nullptr;
        if (place.field == Field::DateOfBirth) {
            dtpDOB = new BirthDateEdit(parent);
            dtpDOB->setDate(QDate::currentDate());
            control = dtpDOB;
        } else if (place.field == Field::Remark) {
            txtRemarks = new NotesBox(parent);
            txtRemarks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            txtRemarks->setTabChangesFocus(true);
            control = txtRemarks;
        } else {
            auto* line = new QLineEdit(parent);
            line->setMaxLength(std::numeric_limits<int>::max());
            mLines[static_cast<size_t>(contact::indexOf(place.field))] = line;
            control = line;
        }
        control->setObjectName(QLatin1String(place.controlName));
        control->setGeometry(twipsRect(place.left, place.top, place.width, place.height));
        label->setBuddy(control);
        control->setAccessibleName(label->text());
        order.push_back(control);
    }

    PushButton1 = new QPushButton(QStringLiteral("Save Contact"), this);
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton1->setGeometry(twipsRect(120, 6720, 3840, 405));
    PushButton2 = new QPushButton(QStringLiteral("Cancel"), this);
    PushButton2->setObjectName(QStringLiteral("PushButton2"));
    PushButton2->setGeometry(twipsRect(4080, 6720, 3840, 405));
    for (QPushButton* button : {PushButton1, PushButton2}) {
        button->setFont(arial(9, false));
        button->setAutoDefault(false);
        order.push_back(button);
    }
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    mPointer = new PointerFeedback(this);
    mPointer->watchSurface(phones);
    mPointer->watchSurface(other);
    mPointer->watchButton(PushButton1);
    mPointer->watchButton(PushButton2);

    connect(PushButton1, &QPushButton::clicked, this, &Form2::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form2::PushButton2_Click);
    // The notes box keeps Return for its new lines; Ctrl+Return saves from
    // there as from anywhere else.
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::Save), QKeySequence(Qt::CTRL | Qt::Key_Return),
                                     QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
        auto* save = new QShortcut(keys, this);
        connect(save, &QShortcut::activated, this, [this] { afterKey(&Form2::PushButton1_Click); });
    }

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

QString Form2::fieldText(Field field) const
{
    if (const std::optional<QString>& whole = mTooLong[static_cast<size_t>(contact::indexOf(field))])
        return *whole;
    if (field == Field::DateOfBirth)
        return dtpDOB->isUnknown() ? QString() : formatStoredDate(dtpDOB->date());
    if (field == Field::Remark)
        return notesAsTyped(txtRemarks);
    return mLines[static_cast<size_t>(contact::indexOf(field))]->text();
}

void Form2::setField(Field field, const QString& text)
{
    // An empty date is a birthday nobody entered, not a damaged one.
    if (field == Field::DateOfBirth) {
        if (text.isEmpty())
            dtpDOB->setUnknown();
        else
            dtpDOB->setDate(readStoredDate(text));
        return;
    }
    std::optional<QString>& whole = mTooLong[static_cast<size_t>(contact::indexOf(field))];
    const bool tooLong = text.size() > kLongestEditable;
    whole = tooLong ? std::optional<QString>(text) : std::nullopt;
    const QString shown = tooLong ? text.left(kShownOfTooLong) + QChar(0x2026) : text;
    const QString note =
        tooLong ? QStringLiteral("This field holds %L1 characters, too many to edit here; it is kept as it is.")
                      .arg(text.size())
                : QString();
    QWidget* control = nullptr;
    if (field == Field::Remark) {
        txtRemarks->setNotes(shown);
        txtRemarks->setReadOnly(tooLong);
        control = txtRemarks;
    } else {
        QLineEdit* line = mLines[static_cast<size_t>(contact::indexOf(field))];
        line->setText(shown);
        line->setReadOnly(tooLong);
        control = line;
    }
    control->setToolTip(note);
    control->setAccessibleDescription(note);
}

Contact Form2::contact() const
{
    Contact contact;
    contact.id = mContactID;
    for (const contact::FieldInfo& field : contact::fields())
        contact[field.field] = fieldText(field.field);
    return contact;
}

void Form2::setContact(const Contact& contact)
{
    mContactID = contact.id;
    for (const contact::FieldInfo& field : contact::fields()) {
        if (field.field != Field::DateOfBirth)
            setField(field.field, contact[field.field]);
    }
    setField(Field::DateOfBirth, contact[Field::DateOfBirth]);
}

void Form2::setMode(Mode mode)
{
    mMode = mode;
    PushButton1->setText(mode == Mode::Update ? QStringLiteral("Update") : QStringLiteral("Save Contact"));
}

void Form2::Form_Load()
{
    ErrorTrap trap(mSession.messages, locationTag("Form2", "Form_Load"));
    trap.step(100, [&] { SetFormColors(this); });
    trap.step(102, [&] { setWindowIcon(applicationIcon()); });
    const QString handCursor = mSession.applicationFolder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(104, [&] { return FileExists(handCursor); }))
        trap.step(106, [&] { mPointer->setHandCursor(loadCursorFile(handCursor)); });
}

void Form2::PushButton1_Click()
{
    ErrorTrap trap(mSession.messages, locationTag("Form2", "PushButton1_Click"));
    Messages& messages = mSession.messages;
    const QString name = fieldText(Field::Name);
    if (trap.test(100, [&] { return isBlank(name); })) {
        trap.step(126, [&] { messages.msgBox(QStringLiteral("You forgot to input contact name.")); });
        return;
    }
    // An update may keep its name or take another's: only an add asks.
    if (trap.test(102, [&] { return mMode != Mode::Update && DoesNameExist(mList, name); })) {
        trap.step(124, [&] { messages.msgBox(QStringLiteral("Contact name already exists in the database.")); });
        return;
    }
    trap.step(104, [&] { setMousePointer(pointer::kHourglass); });

    const Contact values = contact();
    // A statement the database refused must not be followed by a success
    // message or a closed window: the user keeps everything typed and can try
    // again or cancel.
    if (trap.test(106, [&] { return mMode == Mode::Add; })) {
        // The list shows what this window knew; another copy may have added
        // the name since, so the data file is asked again where it cannot
        // change before the insert.
        WriteOutcome outcome = WriteOutcome::Written;
        if (!trap.attempt(108, [&] {
                qint64 id = 0;
                ChangeCapture capture;
                outcome = insertIfNameFree(mSession.connection(), values, SameName(name, CaseFolding::forUserLocale()),
                                           id, &capture);
                if (outcome == WriteOutcome::Written) {
                    mSavedId = QString::number(id);
                    mList.noteChanged(mSavedId);
                    mList.undoHistory().record({QStringLiteral("Add of ") + name, capture.before, capture.after});
                }
            })) {
            setMousePointer(pointer::kDefault);
            return;
        }
        if (outcome == WriteOutcome::NameTaken) {
            setMousePointer(pointer::kDefault);
            trap.step(124, [&] { messages.msgBox(QStringLiteral("Contact name already exists in the database.")); });
            return;
        }
        trap.step(110, [&] { setMousePointer(pointer::kDefault); });
        trap.step(112, [&] { mList.loadRondexa(); });
        trap.step(114, [&] { messages.msgBox(QStringLiteral("Record Successfully Saved.")); });
    } else if (!saveUpdate(trap, values)) {
        setMousePointer(pointer::kDefault);
        return;
    }
    trap.step(120, [&] { setMousePointer(pointer::kDefault); });
    trap.step(122, [&] { accept(); });
}

void Form2::rememberFilled(const StoredTexts& stored)
{
    mStored = stored;
    mFilled = contact();
    mFilledDate = dtpDOB->date();
    mForced.fill(false);
}

contact::FieldFlags Form2::changedFields() const
{
    contact::FieldFlags changed;
    changed.fill(true);
    if (!mStored)
        return changed;
    for (const contact::FieldInfo& field : contact::fields()) {
        const auto at = static_cast<size_t>(contact::indexOf(field.field));
        changed[at] = mForced[at] || fieldText(field.field) != mFilled[field.field];
    }
    // The date as picked, not as formatted: a stored date the picker could
    // not read, or one written with another separator, stays as it is until
    // the user picks a date.
    const auto date = static_cast<size_t>(contact::indexOf(Field::DateOfBirth));
    changed[date] = mForced[date] || dtpDOB->date() != mFilledDate;
    return changed;
}

bool Form2::saveUpdate(ErrorTrap& trap, const Contact& values)
{
    Messages& messages = mSession.messages;
    if (!mStored) {
        // Not filled from a stored contact: the whole row is written, as
        // every field is the user's.
        if (!trap.attempt(116, [&] {
                mSession.connection().execute(contact::updateStatement(values, mContactID));
                mSavedId = mContactID;
                mList.noteChanged(mContactID);
            }))
            return false;
        trap.step(118, [&] { mList.loadRondexa(); });
        return true;
    }
    WriteOutcome outcome = WriteOutcome::Written;
    std::optional<StoredTexts> current;
    ChangeCapture capture;
    if (!trap.attempt(116, [&] {
            outcome =
                updateIfUnchanged(mSession.connection(), mContactID, *mStored,
                                  contact::updateStatement(values, changedFields(), mContactID), current, &capture);
        }))
        return false;
    if (outcome == WriteOutcome::Written) {
        if (!capture.after.empty())
            mList.undoHistory().record(
                {QStringLiteral("Update of ") + values[Field::Name], capture.before, capture.after});
        mSavedId = mContactID;
        mList.noteChanged(mContactID);
        trap.step(118, [&] { mList.loadRondexa(); });
        return true;
    }
    trap.step(118, [&] { mList.refreshRow(mContactID); });
    if (outcome == WriteOutcome::ChangedElsewhere) {
        takeStoredValues(*current);
        messages.msgBox(QStringLiteral("This contact was changed elsewhere (in another window or program) while you "
                                       "were editing it, so nothing was saved.\n\nThe fields you did not change now "
                                       "show the stored values; your own changes are kept. Click Update again to save "
                                       "them, or Cancel."));
    } else {
        messages.msgBox(QStringLiteral("This contact was deleted elsewhere (in another window or program) while you "
                                       "were editing it, so nothing was saved.\n\nWhat you typed is still here; "
                                       "click Cancel to close the editor."));
    }
    return false;
}

void Form2::takeStoredValues(const StoredTexts& stored)
{
    const contact::FieldFlags changed = changedFields();
    for (const contact::FieldInfo& field : contact::fields()) {
        if (changed[static_cast<size_t>(contact::indexOf(field.field))])
            continue;
        try {
            setField(field.field, textFromUtf8(stored[static_cast<size_t>(contact::indexOf(field.field))]));
        } catch (const AppError&) {
            // A date the picker cannot show stays stored as it is: the field
            // is only written once the user picks a date.
        }
    }
    // The stored contact is the new baseline; what the user changed stays a
    // change against it.
    rememberFilled(stored);
    mForced = changed;
}

void Form2::afterKey(void (Form2::*command)())
{
    // A box the command shows is not opened inside the key's own event: a
    // screen reader waits for the program to say whether it took the key.
    QMetaObject::invokeMethod(this, command, Qt::QueuedConnection);
}

void Form2::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        afterKey(focusWidget() == PushButton2 ? &Form2::PushButton2_Click : &Form2::PushButton1_Click);
        return;
    }
    if (modifiers == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        afterKey(&Form2::escapePressed);
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    mOpenedWith = contact();
}

bool Form2::isChanged() const
{
    return mOpenedWith && contact() != *mOpenedWith;
}

void Form2::escapePressed()
{
    if (isChanged() &&
        mSession.messages.msgBox(QStringLiteral("Close the editor and lose your changes to this contact?"),
                                 MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    reject();
}

void Form2::PushButton2_Click()
{
    ErrorTrap trap(mSession.messages, locationTag("Form2", "PushButton2_Click"));
    trap.step(100, [&] { reject(); });
}
