// The main window's arrangement on resize, its column sorting, its remembered
// view and its help message.
#include "ui/main/form1.h"

#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>

#include "app/errortrap.h"
#include "app/messagebox.h"
#include "ui/main/contactlistmodel.h"
#include "ui/main/layout.h"
#include "ui/main/viewsettings.h"
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
    QWidget* const widgets[] = {ListView1,   Frame1,      Text1,       PushButton1, PushButton2, PushButton3,
                                PushButton4, PushButton5, PushButton6, PushButton7, PushButton8};
    TwipsRect* const rects[] = {&input.controls.listView1,   &input.controls.frame1,      &input.controls.text1,
                                &input.controls.pushButton1, &input.controls.pushButton2, &input.controls.pushButton3,
                                &input.controls.pushButton4, &input.controls.pushButton5, &input.controls.pushButton6,
                                &input.controls.pushButton7, &input.controls.pushButton8};
    for (size_t i = 0; i < std::size(widgets); ++i)
        *rects[i] = TwipsRect::fromPixels(widgets[i]->geometry());

    LayoutResult result = arrangeMainWindow(input);
    mMaximizedLayout = result.maximizedLayout;
    if (!result.arranged)
        return;
    const TwipsRect* const arranged[] = {
        &result.controls.listView1,   &result.controls.frame1,      &result.controls.text1,
        &result.controls.pushButton1, &result.controls.pushButton2, &result.controls.pushButton3,
        &result.controls.pushButton4, &result.controls.pushButton5, &result.controls.pushButton6,
        &result.controls.pushButton7, &result.controls.pushButton8};
    for (size_t i = 0; i < std::size(widgets); ++i)
        widgets[i]->setGeometry(arranged[i]->pixels());
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
    mModel->columnClick(index);
}

void Form1::PushButton5_Click()
{
    ErrorTrap trap(locationTag("Form1", "PushButton5_Click"));
    trap.step(100, [] {
        msgBox(QStringLiteral("Questions? Please contact Team Marrowind at ") + QLatin1String(kContactPage));
    });
}

void Form1::saveView(ErrorTrap& trap)
{
    ViewSettings settings;
    for (int n = 1; n <= mModel->columnCount(); ++n) {
        trap.step(102, [&] { settings.setColumnWidth(n, static_cast<float>(columnWidthTwips(n - 1))); });
    }
    trap.step(106, [&] { settings.setWindowState(stateNumber()); });
}

void Form1::sessionEnding()
{
    ErrorTrap trap(locationTag("Form1", "Form_QueryUnload"));
    saveView(trap);
}
