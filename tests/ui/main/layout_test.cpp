#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "ui/main/layout.h"

namespace {

// The main window's controls where the designer put them.
MainControls designed()
{
    MainControls c;
    c.listView1 = {120, 1575, 7800, 5775};
    c.frame1 = {120, 90, 7800, 1335};
    c.text1 = {240, 300, 7300, 345};
    c.pushButton4 = {240, 750, 5865, 405};
    c.pushButton5 = {6240, 750, 1290, 405};
    c.pushButton1 = {120, 7440, 3840, 405};
    c.pushButton3 = {4080, 7440, 3840, 405};
    c.pushButton2 = {120, 7950, 3840, 405};
    c.pushButton8 = {4080, 7950, 3840, 405};
    c.pushButton6 = {120, 8460, 3840, 405};
    c.pushButton7 = {4080, 8460, 3840, 405};
    return c;
}

std::vector<std::pair<const char*, TwipsRect>> all(const MainControls& c)
{
    return {{"ListView1", c.listView1},     {"Frame1", c.frame1},           {"Text1", c.text1},
            {"PushButton1", c.pushButton1}, {"PushButton2", c.pushButton2}, {"PushButton3", c.pushButton3},
            {"PushButton4", c.pushButton4}, {"PushButton5", c.pushButton5}, {"PushButton6", c.pushButton6},
            {"PushButton7", c.pushButton7}, {"PushButton8", c.pushButton8}};
}

void expectRect(const TwipsRect& actual, const TwipsRect& expected, const char* name)
{
    EXPECT_EQ(actual.left, expected.left) << name;
    EXPECT_EQ(actual.top, expected.top) << name;
    EXPECT_EQ(actual.width, expected.width) << name;
    EXPECT_EQ(actual.height, expected.height) << name;
}

void expectSame(const MainControls& actual, const MainControls& expected)
{
    const auto a = all(actual);
    const auto e = all(expected);
    for (size_t i = 0; i < a.size(); ++i)
        expectRect(a[i].second, e[i].second, a[i].first);
}

LayoutInput event(float w, float h, int state, bool maximizedLayout, const MainControls& controls)
{
    LayoutInput input;
    input.outerWidth = w;
    input.outerHeight = h;
    input.windowState = state;
    input.maximizedLayout = maximizedLayout;
    input.screenWidth = 28800;
    input.screenHeight = 16200;
    input.controls = controls;
    return input;
}

} // namespace

TEST(Layout, MaximizedArrangementFollowsTheResultTable)
{
    // A full-HD screen, a smaller one and an odd width whose half is a
    // fraction that single precision keeps.
    for (const auto& [w, h] : std::vector<std::pair<float, float>>{{28920, 15870}, {19440, 11040}, {12345, 9001}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        const LayoutResult r = arrangeMainWindow(event(w, h, kStateMaximized, false, designed()));
        EXPECT_TRUE(r.arranged);
        EXPECT_FALSE(r.centred);
        EXPECT_TRUE(r.maximizedLayout);
        const MainControls& c = r.controls;
        expectRect(c.listView1, {120, 1575, w - 330, h - 3675}, "ListView1");
        expectRect(c.frame1, {120, 90, w - 330, 1335}, "Frame1");
        expectRect(c.text1, {240, 300, w - 830, 345}, "Text1");
        expectRect(c.pushButton4, {240, 750, w - 2255, 405}, "PushButton4");
        expectRect(c.pushButton5, {w - 1880, 750, 1290, 405}, "PushButton5");
        const float leftColumn = w / 2 - 4200;
        const float rightColumn = w / 2 - 240;
        expectRect(c.pushButton1, {leftColumn, h - 1995, 3840, 405}, "PushButton1");
        expectRect(c.pushButton3, {rightColumn, h - 1995, 3840, 405}, "PushButton3");
        expectRect(c.pushButton2, {leftColumn, h - 1485, 3840, 405}, "PushButton2");
        expectRect(c.pushButton8, {rightColumn, h - 1485, 3840, 405}, "PushButton8");
        expectRect(c.pushButton6, {leftColumn, h - 975, 3840, 405}, "PushButton6");
        expectRect(c.pushButton7, {rightColumn, h - 975, 3840, 405}, "PushButton7");
    }
    EXPECT_EQ(arrangeMainWindow(event(12345, 9001, kStateMaximized, false, designed())).controls.pushButton1.left,
              1972.5f);
}

TEST(Layout, RestoreAfterMaximizePutsControlsBackAndCentresTheWindow)
{
    const LayoutResult maximized = arrangeMainWindow(event(28920, 15870, kStateMaximized, false, designed()));
    // The restored window's outer size: the designed client area and a frame.
    LayoutInput restore = event(8175, 9435, kStateNormal, maximized.maximizedLayout, maximized.controls);
    restore.screenWidth = 28801;
    const LayoutResult r = arrangeMainWindow(restore);
    EXPECT_TRUE(r.arranged);
    EXPECT_TRUE(r.centred);
    EXPECT_TRUE(r.maximizedLayout);
    EXPECT_EQ(r.windowLeft, 10313.0f);
    EXPECT_EQ(r.windowTop, 3382.5f);
    // Everything as designed, except that the "Search" button comes out 10
    // twips wider and the "Help" button 10 twips further right.
    MainControls expected = designed();
    expected.pushButton4.width = 5875;
    expected.pushButton5.left = 6250;
    expectSame(r.controls, expected);

    // The flag stays set, so every later border drag arranges and centres
    // again; the controls no longer move.
    const LayoutResult drag = arrangeMainWindow(event(9000, 9900, kStateNormal, r.maximizedLayout, r.controls));
    EXPECT_TRUE(drag.arranged);
    EXPECT_TRUE(drag.centred);
    EXPECT_EQ(drag.windowLeft, 9900.0f);
    EXPECT_EQ(drag.windowTop, 3150.0f);
    expectSame(drag.controls, expected);
}

TEST(Layout, StateTableDecidesWhatAnEventDoes)
{
    // Controls somewhere unusual, so that "nothing changed" is visible.
    MainControls moved = designed();
    moved.listView1.width = 1234;
    moved.pushButton1.top = 4321;

    struct Case {
        int state;
        bool flag;
        bool arranged;
        bool centred;
        bool flagAfter;
    };
    const Case cases[] = {
        {kStateMaximized, false, true, false, true},   {kStateMaximized, true, true, false, true},
        {kStateNormal, true, true, true, true},        {kStateNormal, false, false, false, false},
        {kStateMinimized, false, false, false, false}, {kStateMinimized, true, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "state " << c.state << ", flag " << c.flag);
        const LayoutResult r = arrangeMainWindow(event(20000, 12000, c.state, c.flag, moved));
        EXPECT_EQ(r.arranged, c.arranged);
        EXPECT_EQ(r.centred, c.centred);
        EXPECT_EQ(r.maximizedLayout, c.flagAfter);
        if (!c.arranged)
            expectSame(r.controls, moved);
    }
}

TEST(Layout, StartingMinimizedArrangesOnTheFirstRestore)
{
    // A window remembered as minimized loads with the flag set; while it stays
    // minimized nothing moves, and its first restore arranges and centres it.
    MainControls controls = designed();
    LayoutResult r = arrangeMainWindow(event(2400, 540, kStateMinimized, true, controls));
    EXPECT_FALSE(r.arranged);
    expectSame(r.controls, controls);
    r = arrangeMainWindow(event(8175, 9435, kStateNormal, r.maximizedLayout, r.controls));
    EXPECT_TRUE(r.arranged);
    EXPECT_TRUE(r.centred);
    EXPECT_EQ(r.controls.pushButton4.width, 5875);

    // A remembered normal window dragged before any maximize: nothing moves.
    r = arrangeMainWindow(event(11000, 12000, kStateNormal, false, controls));
    EXPECT_FALSE(r.arranged);
    EXPECT_FALSE(r.centred);
    expectSame(r.controls, controls);
}

TEST(Layout, TinyMaximizedWindowsClampSizesAtZero)
{
    for (const auto& [w, h] : std::vector<std::pair<float, float>>{{0, 0}, {1000, 2000}, {2254, 3674}, {300, 3000}}) {
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        const LayoutResult r = arrangeMainWindow(event(w, h, kStateMaximized, false, designed()));
        for (const auto& [name, rect] : all(r.controls)) {
            EXPECT_GE(rect.width, 0) << name;
            EXPECT_GE(rect.height, 0) << name;
        }
        EXPECT_EQ(r.controls.listView1.height, 0) << "every window here is shorter than 3675";
    }
    // Each step reads the clamped value before it: the list is 0 high, so the
    // first button row sits right below the list's top.
    const LayoutResult r = arrangeMainWindow(event(1000, 2000, kStateMaximized, false, designed()));
    EXPECT_EQ(r.controls.listView1.width, 670);
    EXPECT_EQ(r.controls.text1.width, 170);
    EXPECT_EQ(r.controls.pushButton4.width, 0);
    EXPECT_EQ(r.controls.pushButton5.left, 375);
    EXPECT_EQ(r.controls.pushButton1.top, 1680);
    EXPECT_EQ(r.controls.pushButton1.left, -3700);
}

TEST(Layout, TwipsBecomeWholePixels)
{
    EXPECT_EQ((TwipsRect{120, 1575, 7800, 5775}.pixels()), QRect(8, 105, 520, 385));
    // A position half way between two pixels goes to the farther one.
    EXPECT_EQ((TwipsRect{1972.5f, 7440, 3840, 405}.pixels()), QRect(132, 496, 256, 27));
    const TwipsRect back = TwipsRect::fromPixels(QRect(8, 105, 520, 385));
    expectRect(back, {120, 1575, 7800, 5775}, "round trip");
}
