#pragma once

#include <memory>
#include <optional>

#include <QRect>
#include <QString>

#include "model/contact.h"

class AppError;
class QSettings;

// The remembered view: the fourteen column widths (twips) and the window
// state, kept per user as text under application "Marrowind", section
// "Rondexa". The store is the file $XDG_CONFIG_HOME/Marrowind.conf (else
// ~/.config/Marrowind.conf), an INI file whose group [Rondexa] holds the keys
// ColumnHeaders1 to ColumnHeaders14 and WindowState, and beside them the
// window's place and size (WindowLeft, WindowTop, WindowWidth, WindowHeight,
// whole twips) and the sorted column (SortColumn, 1 to 14 as a heading click
// counts it, 0 for none; SortOrder 0 ascending, 1 descending).
//
// Every read that meets a stored value it cannot take throws an AppError for
// that one key; the caller's trap reports it and reads the next one. Every
// write reaches the file at once and throws when the file cannot be written.
class ViewSettings {
public:
    // The list's columns: the ID, then every field.
    static constexpr int kColumns = 1 + contact::kFieldCount;
    // The widest column the list accepts: far beyond any screen, and small
    // enough that fourteen of them in pixels still fit an int.
    static constexpr float kMaxWidthTwips = 1'000'000;

    // The file's place is taken from the environment as it is now.
    ViewSettings();
    ~ViewSettings();
    ViewSettings(const ViewSettings&) = delete;
    ViewSettings& operator=(const ViewSettings&) = delete;

    static QString filePath();
    // "ColumnHeaders" and n, n from 1 to 14.
    static QString columnKey(int n);

    // The width to give column n: 1 for column 1 and 1800 for the others when
    // nothing is stored; a negative width comes back as 0 and one beyond
    // kMaxWidthTwips as that.
    float columnWidth(int n) const;
    // 0 normal, 1 minimized, 2 maximized; 0 when nothing is stored.
    int windowState() const;

    void setColumnWidth(int n, float twips);
    void setWindowState(int state);

    // The window's place and size in twips when it is in the normal state;
    // nothing while any of the four is not stored (the window then opens
    // centred at its designed size).
    std::optional<QRect> windowGeometry() const;
    void setWindowGeometry(const QRect& twips);
    // The column the list was sorted by, 0 for none, and its order.
    int sortColumn() const;
    bool sortDescending() const;
    void setSort(int column, bool descending);

    // The text forms: ASCII digits with the user's decimal sign (QLocale()),
    // 1799.811 is written "1799,811" where the comma is the decimal sign;
    // digits of other scripts are read too.
    static QString widthText(float twips);
    static float widthFromText(const QString& text);
    static int stateFromText(const QString& text);

private:
    QString readText(const QString& key, const QString& fallback) const;
    // A whole number from lowest to highest; throws for anything else.
    int readWhole(const char* key, int fallback, int lowest, int highest) const;
    void write(const QString& key, const QString& text);
    AppError unusableFile() const;
    // Null while the file's place holds something other than a plain file,
    // or there is no home.
    QSettings* store() const;

    QString mPath;
    mutable std::unique_ptr<QSettings> mStore;
    // Each direction says once that the file cannot be used.
    mutable bool mReadRefused = false;
    bool mWriteRefused = false;
};
