// The main window's arrangement on resize, its column sorting, its remembered
// view and its help message.
#include "ui/main/form1.h"

#include <optional>
#include <utility>

#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

#include "base/errortrap.h"
#include "base/messages.h"
#include "store/session.h"
#include "store/viewsettings.h"
#include "ui/main/contactlistview.h"
#include "ui/main/contactrows.h"
#include "ui/main/contactsortproxy.h"
#include "ui/main/layout.h"
#include "ui/twips.h"

namespace {

const char kContactPage[] = "https://www.marrowind.example/contact";

} // namespace

int Form1::stateNumber() const
{
    if (windowState() & Qt::WindowMinimized)
        return kStateMinimized;
    if (windowState() & Qt::WindowMaximized)
        return kStateMaximized;
    return kStateNormal;
}

void Form1::Form_Resize()
{
    LayoutInput input;
    const QSize outer = frameGeometry().size();
    input.outerWidth = static_cast<float>(pixelsToTwips(outer.width()));
    input.outerHeight = static_cast<float>(pixelsToTwips(outer.height()));
    input.windowState = stateNumber();
    input.maximizedLayout = mMaximizedLayout;
    if (const QScreen* here = screen()) {
        input.screenWidth = static_cast<float>(pixelsToTwips(here->geometry().width()));
        input.screenHeight = static_cast<float>(pixelsToTwips(here->geometry().height()));
    }
    // Each control beside its place in the arrangement, for reading the
    // widgets in and writing the result back out.
    const std::pair<QWidget*, TwipsRect MainControls::*> places[] = {
        {ListView1, &MainControls::listView1},
        {Frame1, &MainControls::frame1},
        {Text1, &MainControls::text1},
        {PushButton1, &MainControls::pushButton1},
        {PushButton2, &MainControls::pushButton2},
        {PushButton3, &MainControls::pushButton3},
        {PushButton4, &MainControls::pushButton4},
        {PushButton5, &MainControls::pushButton5},
        {PushButton6, &MainControls::pushButton6},
        {PushButton7, &MainControls::pushButton7},
        {PushButton8, &MainControls::pushButton8},
    };
    for (const auto& [widget, place] : places)
        input.controls.*place = TwipsRect::fromPixels(widget->geometry());

    const LayoutResult result = arrangeMainWindow(input);
    mMaximizedLayout = result.maximizedLayout;
    if (!result.arranged)
        return;
    for (const auto& [widget, place] : places)
        widget->setGeometry((result.controls.*place).pixels());
    if (result.centred)
        move(twipsToPixels(result.windowLeft), twipsToPixels(result.windowTop));
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form1::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Form1::ListView1_ColumnClick(int index)
{
    mShown->columnClick(index);
    sortClicked();
}

void Form1::PushButton5_Click()
{
    ErrorTrap trap(mSession.messages, locationTag("Form1", "PushButton5_Click"));
    trap.step(100, [&] {
        mSession.messages.msgBoxWithLinks(QStringLiteral("Questions? Please contact Team Marrowind at ") +
                                          QLatin1String(kContactPage));
    });
}

void Form1::restoreView(ErrorTrap& trap)
{
    const ViewSettings& settings = mSession.settings;
    trap.step(200, [&] {
        const std::optional<QRect> place = settings.windowGeometry();
        // A maximized or minimized window is arranged by its state.
        if (!place || stateNumber() != kStateNormal)
            return;
        const QRect pixels(twipsToPixels(place->left()), twipsToPixels(place->top()), twipsToPixels(place->width()),
                           twipsToPixels(place->height()));
        // A place on a screen that is no longer there would hide the window:
        // it then opens centred. The place is the inside of the frame, as
        // saved: move() would put the frame there, and the window would creep
        // down by its title bar at every start.
        if (screen() && screen()->virtualGeometry().intersects(pixels)) {
            setGeometry(pixels);
            mPlaced = true;
        } else {
            resize(pixels.size());
        }
    });
    trap.step(202, [&] {
        const int column = settings.sortColumn();
        if (column > 0) {
            ListView1_ColumnClick(column);
            if (settings.sortDescending())
                ListView1_ColumnClick(column);
        }
    });
}

void Form1::sortClicked()
{
    // The heading shows which column the list is sorted by, and which way.
    QHeaderView* header = ListView1->horizontalHeader();
    header->setSortIndicatorShown(mShown->sortColumn() >= 0);
    header->setSortIndicator(mShown->sortColumn(), mShown->sortOrder());
}

void Form1::saveView(ErrorTrap& trap)
{
    ViewSettings& settings = mSession.settings;
    for (int n = 1; n <= mRows->columnCount(); ++n) {
        trap.step(102, [&] { settings.setColumnWidth(n, static_cast<float>(columnWidthTwips(n - 1))); });
    }
    trap.step(106, [&] { settings.setWindowState(stateNumber()); });
    trap.step(116, [&] {
        const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
        settings.setWindowGeometry(QRect(qRound(pixelsToTwips(normal.left())), qRound(pixelsToTwips(normal.top())),
                                         qRound(pixelsToTwips(normal.width())),
                                         qRound(pixelsToTwips(normal.height()))));
    });
    trap.step(118, [&] { settings.setSort(mShown->sortColumn() + 1, mShown->sortOrder() == Qt::DescendingOrder); });
}

void Form1::sessionEnding()
{
    ErrorTrap trap(mSession.messages, locationTag("Form1", "Form_QueryUnload"));
    saveView(trap);
}
