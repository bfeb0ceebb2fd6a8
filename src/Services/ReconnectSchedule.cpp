#include "Services/ReconnectSchedule.h"

#include <algorithm>

std::optional<int> ReconnectSchedule::delayBefore(int attempt, qint64 outageMs, PlayerItem::Failure failure) const
{
    if (failure == PlayerItem::Failure::Unplayable || m_options.delaysMs.isEmpty() || attempt < 0
        || outageMs >= m_options.giveUpAfterMs)
        return std::nullopt;
    return m_options.delaysMs.at(std::min<qsizetype>(attempt, m_options.delaysMs.size() - 1));
}

QString ReconnectSchedule::causeText(PlayerItem::Failure failure)
{
    using Failure = PlayerItem::Failure;
    switch (failure) {
    case Failure::Unreachable:
        return QStringLiteral("سرور ایستگاه در دسترس نیست");
    case Failure::NotFound:
        return QStringLiteral("این ایستگاه روی سرور پیدا نشد");
    case Failure::NotAllowed:
        return QStringLiteral("سرور اجازه‌ی پخش این ایستگاه را نمی‌دهد");
    case Failure::ServerError:
        return QStringLiteral("سرور ایستگاه با خطا پاسخ داد");
    case Failure::ConnectionLost:
        return QStringLiteral("ارتباط با سرور ایستگاه قطع شد");
    case Failure::Stalled:
        return QStringLiteral("سرور ایستگاه دیگر صدایی نمی‌فرستد");
    case Failure::Unplayable:
        return QStringLiteral("قالب صدای این ایستگاه پخش‌شدنی نیست");
    case Failure::None:
    case Failure::Other:
        break;
    }
    return QStringLiteral("خطایی در پخش پیش آمد");
}
