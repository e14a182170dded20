#pragma once

#include <memory>

#include <QDialog>
#include <QPageSize>
#include <QTimer>

class Messages;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;
class ReportPageView;
class ReportRenderer;
class ReportRows;
struct ReportDesign;

// The preview of a report: one page at a time, page by page, with printing on
// any printer the desktop offers and saving as a PDF file. Pages are found in
// the background once the first one is on screen.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    ReportPreview(const ReportDesign& design, const ReportRows& rows, Messages& messages, QWidget* owner);
    ~ReportPreview() override;

    ReportRenderer& renderer() const { return *mRenderer; }
    ReportPageView* pageView() const { return mView; }
    // 0-based, clamped to the pages there are.
    void goToPage(int page);
    // Writes the whole report to a PDF file on the preview's paper; throws
    // when the file cannot be written.
    void saveAsPdf(const QString& path) const;

private:
    void buildControls();
    void printReport();
    void choosePdfFile();
    void setZoomChoice(int choice);
    void paginateMore();
    void showPosition();

    const ReportDesign& mDesign;
    const ReportRows& mRows;
    Messages& mMessages;
    // The paper of the default printer, for the screen and the PDF alike.
    QPageSize mPageSize;
    std::unique_ptr<ReportRenderer> mRenderer;
    QScrollArea* mScroll = nullptr;
    ReportPageView* mView = nullptr;
    QSpinBox* mPageBox = nullptr;
    QLabel* mPageCount = nullptr;
    QComboBox* mZoom = nullptr;
    QPushButton* mPrint = nullptr;
    QTimer mPaginate;
};
