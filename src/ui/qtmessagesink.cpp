#include "ui/qtmessagesink.h"

#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>

QString displayedMessageText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QString displayedMessageHtml(const QString& text)
{
    // Qt's replace knows \1 to \99 but not \0: the whole address is a group.
    static const QRegularExpression address(QStringLiteral("(https?://[^\\s<>\"]+)"));
    QString html = displayedMessageText(text).toHtmlEscaped();
    html.replace(address, QStringLiteral("<a href=\"\\1\">\\1</a>"));
    return html.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

MsgAnswer QtMessageSink::show(const MessageRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    if (request.links) {
        // Only the program's own texts ask for links: a contact's text never
        // becomes one.
        box.setTextFormat(Qt::RichText);
        box.setText(displayedMessageHtml(request.text));
        box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    } else {
        box.setText(displayedMessageText(request.text));
        box.setTextFormat(Qt::PlainText);
        box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    box.setIcon(request.icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (request.buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setWindowModality(Qt::ApplicationModal);
    const int answer = box.exec();
    if (request.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return answer == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}
