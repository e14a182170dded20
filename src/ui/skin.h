#pragma once

#include <QFont>
#include <QString>

class QWidget;

// Arial at a size in points, the font the windows are designed in.
QFont arial(int points, bool bold);

// A window as designed, before any skin: Arial 9 bold on white.
void applyDesignedLook(QWidget* window);

// Stands in for the outside skin control of the main window: the skin file is
// a Qt style sheet, and applying the skin to a window restyles that window
// with it. The members keep the calls the start-up makes, in their order:
// loadSkin, options read, options written, member 5, member 10, applyWindow.
class SkinFramework {
public:
    // Reads the sheet. The second argument names a settings file inside the
    // skin and stays unused: a style sheet has none. Throws when the file
    // cannot be read, and then keeps the sheet it had.
    void loadSkin(const QString& path, const QString& iniFileName);

    // Member 1, option flags. Kept for the start-up's read and Or 1; a style
    // sheet has no options to switch, so they change nothing.
    int options() const { return mOptions; }
    void setOptions(int options) { mOptions = options; }

    // Members 5 and 10: switched on at start-up, without effect here.
    bool member5() const { return mMember5; }
    void setMember5(bool on) { mMember5 = on; }
    bool member10() const { return mMember10; }
    void setMember10(bool on) { mMember10 = on; }

    // Member 3: restyles the window and everything on it with the sheet.
    void applyWindow(QWidget* window) const;

    const QString& styleSheet() const { return mStyleSheet; }

private:
    QString mStyleSheet;
    int mOptions = 0;
    bool mMember5 = false;
    bool mMember10 = false;
};

// The skin file: the application folder and "/x/o.cjs".
QString skinFilePath(const QString& applicationFolder);

// With a skin file beside the program, gives the main window and its frames,
// labels, check boxes and option buttons the button-face colour and then
// skins the window through skin. Without one it does nothing, and the window
// keeps its white. An unreadable skin throws, for the caller's trap; colours
// already set stay set.
void ApplySkin(QWidget* mainWindow, SkinFramework& skin, const QString& applicationFolder);

// Gives a window and its frames, labels, check boxes and option buttons (inside
// frames too) the button-face colour: the system palette's button colour.
void SetFormColors(QWidget* window);
