#include "base/apperror.h"

AppError::AppError(const QString& description, int number)
    : std::runtime_error(description.toStdString()), mNumber(number)
{
}

AppError AppError::indexOutOfBounds()
{
    return AppError(QStringLiteral("Index out of bounds"), kIndexOutOfBounds);
}

AppError AppError::objectNotSet()
{
    return AppError(QStringLiteral("Object variable or With block variable not set"), kObjectNotSet);
}

AppError AppError::invalidPropertyValue()
{
    return AppError(QStringLiteral("Invalid property value"), kInvalidPropertyValue);
}
