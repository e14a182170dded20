#pragma once

#include <memory>

#include <QPointer>

class QWidget;
class Recordset;
class ReportPreview;
class ReportRows;
struct ReportDesign;

// The contact report: its banded design and one run of it, from binding the
// rows to the preview window. Created, bound, shown and released by the
// report command, one instance a press of the button.
class Messages;

class rptMain {
public:
    explicit rptMain(Messages& messages);
    ~rptMain();
    rptMain(const rptMain&) = delete;
    rptMain& operator=(const rptMain&) = delete;

    static const ReportDesign& design();

    // Binds the report to an open recordset and reads its rows, from the
    // current one to the end. Throws when the recordset is closed.
    void setDataSource(Recordset& recordset);
    // Shows the preview captioned "DataReport1", owned by owner. Modal 1 waits
    // until the user closes it; 0 returns at once and the window lives until
    // the report is released. Throws when no data source was bound.
    void show(int modal, QWidget* owner);

    bool hasDataSource() const { return mRows != nullptr; }
    const ReportRows& rows() const;
    // The preview while it exists, else nullptr.
    ReportPreview* previewWindow() const;

private:
    Messages& mMessages;
    std::unique_ptr<ReportRows> mRows;
    // The owner window deletes its children, so the preview may already be gone.
    QPointer<ReportPreview> mPreview;
};
