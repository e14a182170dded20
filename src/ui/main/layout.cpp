#include "ui/main/layout.h"

#include <algorithm>

#include "ui/twips.h"

namespace {

// A maximized window too small for the designed controls would give negative
// sizes, which a widget cannot take.
float size(float twips)
{
    return std::max(0.0f, twips);
}

// Steps 3 to 6 and 9 to 18 are shared by both arrangements; each reads what
// the steps before it have set.
void arrangeSearchFrame(MainControls& c)
{
    c.frame1.width = size(c.listView1.width);
    c.text1.width = size(c.frame1.width - 500);
    c.pushButton4.width = size(c.text1.width - c.pushButton5.width - 135);
    c.pushButton5.left = c.pushButton4.width + c.pushButton4.left + 135;
}

void arrangeButtonRows(MainControls& c)
{
    c.pushButton3.left = c.pushButton1.width + c.pushButton1.left + 120;
    c.pushButton3.top = c.pushButton1.top;
    c.pushButton2.left = c.pushButton1.left;
    c.pushButton2.top = c.pushButton1.height + c.pushButton1.top + 105;
    c.pushButton8.left = c.pushButton2.width + c.pushButton2.left + 120;
    c.pushButton8.top = c.pushButton2.top;
    c.pushButton6.left = c.pushButton1.left;
    c.pushButton6.top = c.pushButton2.height + c.pushButton2.top + 105;
    c.pushButton7.left = c.pushButton6.width + c.pushButton6.left + 120;
    c.pushButton7.top = c.pushButton6.top;
}

void maximizedArrangement(MainControls& c, float w, float h)
{
    c.listView1.width = size(w - 330);
    c.listView1.height = size(h - 3 * c.pushButton2.height - 420 - 120 - 465 - c.frame1.height - 120);
    arrangeSearchFrame(c);
    c.pushButton1.left = w / 2 - c.pushButton2.width - 360;
    c.pushButton1.top = c.listView1.height + c.listView1.top + 105;
    arrangeButtonRows(c);
}

void normalArrangement(MainControls& c)
{
    c.listView1.width = 7800;
    c.listView1.height = 5775;
    arrangeSearchFrame(c);
    c.pushButton1.left = 120;
    c.pushButton1.top = 7440;
    arrangeButtonRows(c);
}

} // namespace

QRect TwipsRect::pixels() const
{
    return twipsRect(left, top, width, height);
}

TwipsRect TwipsRect::fromPixels(const QRect& rect)
{
    return TwipsRect{static_cast<float>(pixelsToTwips(rect.x())), static_cast<float>(pixelsToTwips(rect.y())),
                     static_cast<float>(pixelsToTwips(rect.width())), static_cast<float>(pixelsToTwips(rect.height()))};
}

LayoutResult arrangeMainWindow(const LayoutInput& input)
{
    LayoutResult result;
    result.controls = input.controls;
    result.maximizedLayout = input.maximizedLayout;
    if (input.windowState == kStateMaximized) {
        maximizedArrangement(result.controls, input.outerWidth, input.outerHeight);
        result.arranged = true;
        result.maximizedLayout = true;
    } else if (input.windowState == kStateNormal && input.maximizedLayout) {
        normalArrangement(result.controls);
        result.arranged = true;
        result.centred = true;
        result.windowLeft = (input.screenWidth - input.outerWidth) / 2;
        result.windowTop = (input.screenHeight - input.outerHeight) / 2;
    }
    return result;
}
