#include "Platform/MicrophonePermission.h"

#include <QCoreApplication>
#include <QMetaObject>

MicrophonePermission &MicrophonePermission::desktop()
{
    static FixedMicrophonePermission permission(true);
    return permission;
}

void FixedMicrophonePermission::requestRecordPermission(std::function<void(bool granted)> reply)
{
    ++m_requests;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [reply = std::move(reply), granted = m_granted] { reply(granted); },
        Qt::QueuedConnection);
}
