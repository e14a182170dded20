#pragma once

#include <QRect>

// A control's place in twips. Single precision on purpose: the arrangement is
// defined in that precision and its results are kept as they come out, so
// W / 2 of an odd width stays a half.
struct TwipsRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    // Whole pixels for the widget (15 twips to one), and back.
    QRect pixels() const;
    static TwipsRect fromPixels(const QRect& rect);
};

// The controls of the main window that the arrangement reads or moves.
// text1, pushButton4 and pushButton5 are placed within frame1; all the others
// within the window.
struct MainControls {
    TwipsRect listView1;
    TwipsRect frame1;
    TwipsRect text1;
    TwipsRect pushButton1;
    TwipsRect pushButton2;
    TwipsRect pushButton3;
    TwipsRect pushButton4;
    TwipsRect pushButton5;
    TwipsRect pushButton6;
    TwipsRect pushButton7;
    TwipsRect pushButton8;
};

// The window states as the settings store keeps them.
inline constexpr int kStateNormal = 0;
inline constexpr int kStateMinimized = 1;
inline constexpr int kStateMaximized = 2;

struct LayoutInput {
    // The window's outer size, border and caption included.
    float outerWidth = 0;
    float outerHeight = 0;
    int windowState = kStateNormal;
    bool maximizedLayout = false;
    float screenWidth = 0;
    float screenHeight = 0;
    MainControls controls;
};

struct LayoutResult {
    // Every control, moved or not: applying all of them is always right.
    MainControls controls;
    // False when the event changes nothing (minimized, or normal before any
    // maximize): then leave the widgets alone.
    bool arranged = false;
    // Set after the normal arrangement: move the window's outer frame here.
    bool centred = false;
    float windowLeft = 0;
    float windowTop = 0;
    bool maximizedLayout = false;
};

// What one resize event of the main window does, as a function of numbers.
// Sizes that would come out negative on a tiny window are clamped at 0;
// positions are left as computed.
LayoutResult arrangeMainWindow(const LayoutInput& input);
