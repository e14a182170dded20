#include "ui/skin.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QRadioButton>
#include <QWidget>

#include "base/apperror.h"
#include "store/paths.h"

namespace {

void paint(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Frames, labels, check boxes and option buttons the window's designer put
// there; the parts Qt builds inside its own composite widgets are named
// "qt_..." and are not controls of the window.
bool takesButtonFace(const QWidget* widget)
{
    if (widget->objectName().startsWith(QLatin1String("qt_")))
        return false;
    return qobject_cast<const QGroupBox*>(widget) || qobject_cast<const QLabel*>(widget) ||
           qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget);
}

// Skinning nothing is the runtime's "invalid procedure call".
AppError noWindow()
{
    return AppError(QStringLiteral("Invalid procedure call or argument"), AppError::kInvalidCall);
}

} // namespace

QFont arial(int points, bool bold)
{
    QFont font(QStringLiteral("Arial"), points);
    font.setBold(bold);
    return font;
}

void applyDesignedLook(QWidget* window)
{
    window->setFont(arial(9, true));
    paint(window, Qt::white);
}

void SkinFramework::loadSkin(const QString& path, const QString& iniFileName)
{
    Q_UNUSED(iniFileName);
    mStyleSheet = QString::fromUtf8(readRegularFile(path, QStringLiteral("the skin ")));
}

void SkinFramework::applyWindow(QWidget* window) const
{
    if (!window)
        throw noWindow();
    window->setStyleSheet(mStyleSheet);
}

QString skinFilePath(const QString& applicationFolder)
{
    return applicationFolder + QStringLiteral("/x/o.cjs");
}

void ApplySkin(QWidget* mainWindow, SkinFramework& skin, const QString& applicationFolder)
{
    const QString path = skinFilePath(applicationFolder);
    // Only a plain file counts: a folder of that name is no skin.
    if (!plainFileExists(path))
        return;
    SetFormColors(mainWindow);
    skin.loadSkin(path, QString());
    skin.setOptions(skin.options() | 1);
    skin.setMember5(true);
    skin.setMember10(true);
    skin.applyWindow(mainWindow);
}

void SetFormColors(QWidget* window)
{
    if (!window)
        throw noWindow();
    const QColor buttonFace = QApplication::palette().color(QPalette::Active, QPalette::Button);
    paint(window, buttonFace);
    const QList<QWidget*> controls = window->findChildren<QWidget*>();
    for (QWidget* control : controls) {
        if (takesButtonFace(control))
            paint(control, buttonFace);
    }
}
