#include "output/reportpageview.h"

#include <cmath>

#include <QPaintEvent>
#include <QPainter>

namespace {

const double kTwipsPerPixel = 15.0;

} // namespace

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
    return QSize(static_cast<int>(std::lround(paper.width() * mZoom / kTwipsPerPixel)),
                 static_cast<int>(std::lround(paper.height() * mZoom / kTwipsPerPixel)));
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
    painter.scale(mZoom / kTwipsPerPixel, mZoom / kTwipsPerPixel);
    mRenderer.drawItems(painter, mItems);
    ++mPaintCount;
    emit pagePainted(mPage);
}
