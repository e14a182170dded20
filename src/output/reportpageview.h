#pragma once

#include <vector>

#include <QWidget>

#include "output/reportrenderer.h"

// The report was designed on a 96-dpi screen, where a pixel is 15 twips.
inline constexpr double kReportTwipsPerPixel = 15.0;

// One page of a report on screen, drawn only when the window system asks for
// it: a report of a thousand pages costs the preview one page at a time.
class ReportPageView : public QWidget {
    Q_OBJECT
public:
    explicit ReportPageView(ReportRenderer& renderer, QWidget* parent = nullptr);

    int page() const { return mPage; }
    // 0-based; the renderer must already know the page.
    void setPage(int page);
    // 1.0 draws 15 twips to a pixel, the size of the paper on a 96-dpi screen.
    double zoom() const { return mZoom; }
    void setZoom(double zoom);
    // How many times a page has been drawn.
    int paintCount() const { return mPaintCount; }

    QSize sizeHint() const override;

signals:
    void pagePainted(int page);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ReportRenderer& mRenderer;
    int mPage = 0;
    double mZoom = 1.0;
    int mPaintCount = 0;
    // The laid-out page, kept while it is shown: scrolling repaints often.
    std::vector<ReportRenderer::Item> mItems;
    int mItemsPage = -1;
};
