#pragma once

#include <QPlainTextEdit>

// The editor's multi-line notes box. It wraps at word boundaries, except
// while its text holds a run of thousands of characters without a blank:
// Qt's word wrapping takes time in the square of such a run's length (twenty
// seconds for a pasted line of 600,000 characters), so such text wraps
// anywhere instead.
class NotesBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit NotesBox(QWidget* parent = nullptr);

    // Fills the box the way a paste would be wrapped.
    void setNotes(const QString& text);

    // The longest run without a blank that still wraps at word boundaries.
    static constexpr qsizetype kLongestWordRun = 4000;
    static bool hasLongRun(const QString& text);

protected:
    void insertFromMimeData(const QMimeData* source) override;

private:
    void chooseWrapFor(const QString& text);
};
