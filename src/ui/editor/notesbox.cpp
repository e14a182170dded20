#include "ui/editor/notesbox.h"

#include <QMimeData>

NotesBox::NotesBox(QWidget* parent) : QPlainTextEdit(parent)
{
    // Typing and deleting can make or end a long run too.
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (wordWrapMode() == QTextOption::WrapAnywhere || document()->characterCount() > kLongestWordRun)
            chooseWrapFor(toPlainText());
    });
}

bool NotesBox::hasLongRun(const QString& text)
{
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestWordRun)
            return true;
    }
    return false;
}

void NotesBox::chooseWrapFor(const QString& text)
{
    const QTextOption::WrapMode mode =
        hasLongRun(text) ? QTextOption::WrapAnywhere : QTextOption::WrapAtWordBoundaryOrAnywhere;
    if (mode != wordWrapMode())
        setWordWrapMode(mode);
}

void NotesBox::setNotes(const QString& text)
{
    chooseWrapFor(text);
    setPlainText(text);
}

void NotesBox::insertFromMimeData(const QMimeData* source)
{
    if (source && source->hasText() && wordWrapMode() != QTextOption::WrapAnywhere) {
        // The pasted text joins the runs on either side of the cursor.
        chooseWrapFor(toPlainText() + source->text());
    }
    QPlainTextEdit::insertFromMimeData(source);
}
