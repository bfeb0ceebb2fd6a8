#include "Models/AppError.h"

const char *AppError::what() const noexcept
{
    if (m_what.isEmpty())
        m_what = errorDescription().toUtf8();
    return m_what.constData();
}

QString DecodingError::errorDescription() const
{
    return QStringLiteral("داده‌ها خوانده نشد، چون قالب درستی ندارند.");
}
