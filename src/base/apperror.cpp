#include "base/apperror.h"

AppError::AppError(const QString& description, int number)
    : std::runtime_error(description.toStdString()), mNumber(number)
{
}
