#include "ui/qtmessagesink.h"

#include <QApplication>
#include <QMessageBox>

QString displayedMessageText(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

MsgAnswer QtMessageSink::show(const MessageRequest& request)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(request.title);
    box.setText(displayedMessageText(request.text));
    box.setTextFormat(Qt::PlainText);
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
