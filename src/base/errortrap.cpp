#include "base/errortrap.h"

#include "base/apperror.h"
#include "base/messages.h"

namespace {

const char kSupportEmail[] = "support@marrowind.example";
// Any failure without a number of its own still has to read as "something
// failed" to a procedure that looks at the pending error number.
const int kUnnumberedError = 440;

} // namespace

QString supportEmail()
{
    return QLatin1String(kSupportEmail);
}

QString errorReportText(const QString& description, const QString& locationTag, int line)
{
    return description + QStringLiteral("\r\n") + locationTag + QStringLiteral("at line ") + QString::number(line) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") +
           QLatin1String(kSupportEmail);
}

QString locationTag(const char* window, const char* procedure)
{
    return QStringLiteral("in Rondexa2021/08/31.%1.%2 ").arg(QLatin1String(window), QLatin1String(procedure));
}

ErrorTrap::ErrorTrap(Messages& messages, QString tag) : mMessages(messages), mTag(std::move(tag)) {}

void ErrorTrap::report(int line, const std::exception& e)
{
    ++mReports;
    mMessages.msgBox(errorReportText(QString::fromUtf8(e.what()), mTag, line), MsgButtons::Ok, MsgIcon::Exclamation,
                     QStringLiteral("Application Error"));
}

void SilentTrap::remember(const std::exception& e)
{
    const auto* appError = dynamic_cast<const AppError*>(&e);
    mErrorNumber = appError && appError->number() != 0 ? appError->number() : kUnnumberedError;
}
