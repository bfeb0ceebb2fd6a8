#include "Platform/SingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QVariantMap>

Q_LOGGING_CATEGORY(lcInstance, "melodrift.instance")

// The org.freedesktop.Application interface of the first instance.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SingleInstance *owner)
        : QDBusAbstractAdaptor(owner), m_owner(owner)
    {
    }

public slots:
    void Activate(const QVariantMap &platformData)
    {
        emit m_owner->activated({}, token(platformData));
    }
    void Open(const QStringList &uris, const QVariantMap &platformData)
    {
        emit m_owner->activated(uris, token(platformData));
    }
    void ActivateAction(const QString &actionName, const QVariantList &parameter,
                        const QVariantMap &platformData)
    {
        Q_UNUSED(parameter);
        emit m_owner->activated({}, token(platformData));
        emit m_owner->actionRequested(actionName);
    }

private:
    static QString token(const QVariantMap &platformData)
    {
        const QString token = platformData.value(QStringLiteral("activation-token")).toString();
        return token.isEmpty() ? platformData.value(QStringLiteral("desktop-startup-id")).toString() : token;
    }

    SingleInstance *m_owner;
};

QString SingleInstance::defaultServiceName()
{
    QString name = QStringLiteral("org.melodrift.Radio");
    const QString suffix = qEnvironmentVariable("MELODRIFT_INSTANCE_SUFFIX");
    if (!suffix.isEmpty()) {
        // A bus name element holds only [A-Za-z0-9_].
        QString clean;
        for (const QChar c : suffix)
            clean.append(c.isLetterOrNumber() && c.unicode() < 128 ? c : QLatin1Char('_'));
        name += QLatin1Char('_') + clean;
    }
    return name;
}

SingleInstance::SingleInstance(QString serviceName, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_serviceName(std::move(serviceName)), m_bus(std::move(bus))
{
}

SingleInstance::~SingleInstance()
{
    if (m_registered) {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(QString::fromLatin1(ObjectPath));
    }
}

bool SingleInstance::claim()
{
    if (m_primary)
        return true;
    if (!m_bus.isConnected() || !m_bus.interface()) {
        qCInfo(lcInstance, "no session bus: running without the single-instance check");
        m_primary = true;
        return true;
    }
    new ApplicationAdaptor(this);
    if (!m_bus.registerObject(QString::fromLatin1(ObjectPath), this, QDBusConnection::ExportAdaptors)) {
        qCWarning(lcInstance, "cannot export %s: running on its own", ObjectPath);
        m_primary = true;
        return true;
    }
    // Taking the name is atomic on the bus: of two launches at once exactly one gets it.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        m_serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_registered = true;
        m_primary = true;
        return true;
    }
    m_bus.unregisterObject(QString::fromLatin1(ObjectPath));
    if (!reply.isValid()) {
        qCWarning(lcInstance, "cannot take %s (%s): running on its own", qPrintable(m_serviceName),
                  qPrintable(reply.error().message()));
        m_primary = true;
        return true;
    }
    return false;
}

bool SingleInstance::forward(const QStringList &urls, int timeoutMs)
{
    QDBusMessage call = urls.isEmpty()
        ? QDBusMessage::createMethodCall(m_serviceName, QString::fromLatin1(ObjectPath),
                                         QString::fromLatin1(InterfaceName), QStringLiteral("Activate"))
        : QDBusMessage::createMethodCall(m_serviceName, QString::fromLatin1(ObjectPath),
                                         QString::fromLatin1(InterfaceName), QStringLiteral("Open"));
    QVariantMap platformData;
    const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty())
        platformData.insert(QStringLiteral("activation-token"), token);
    const QString startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty())
        platformData.insert(QStringLiteral("desktop-startup-id"), startupId);
    if (urls.isEmpty())
        call << platformData;
    else
        call << urls << platformData;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qCWarning(lcInstance, "the running instance did not answer: %s", qPrintable(reply.errorMessage()));
        return false;
    }
    return true;
}

#include "SingleInstance.moc"
