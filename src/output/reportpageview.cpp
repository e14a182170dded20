#include "output/reportpageview.h"

#include <cmath>

#include <QPaintEvent>
#include <QPainter>

ReportPageView::ReportPageView(ReportRenderer& renderer, QWidget* parent) : QWidget(parent), mRenderer(renderer)
{
    setObjectName(QStringLiteral("ReportPage"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
}

void ReportPageView::setPage(int page)
{
    if (page == mPage)
        return;
    mPage = page;
    update();
}

void ReportPageView::setZoom(double zoom)
{
    mZoom = zoom;
    resize(sizeHint());
    update();
}

QSize ReportPageView::sizeHint() const
{
    const QSize paper = mRenderer.paperSize();
    return QSize(static_cast<int>(std::lround(paper.width() * mZoom / kReportTwipsPerPixel)),
                 static_cast<int>(std::lround(paper.height() * mZoom / kReportTwipsPerPixel)));
}

void ReportPageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (mItemsPage != mPage && mRenderer.hasPage(mPage)) {
        mItems = mRenderer.layoutPage(mPage);
        mItemsPage = mPage;
    }
    if (mItemsPage != mPage)
        return;
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(mZoom / kReportTwipsPerPixel, mZoom / kReportTwipsPerPixel);
    mRenderer.drawItems(painter, mItems);
    ++mPaintCount;
    emit pagePainted(mPage);
}
