#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

// One running application per session: the first instance owns a well-known name on the session
// bus and answers the org.freedesktop.Application interface there; a later launch hands its
// addresses (or none) to it and exits.
//     SingleInstance instance;
//     if (!instance.claim()) return instance.forward(urls) ? 0 : 1;
//     connect(&instance, &SingleInstance::activated, ...);
// Without a session bus every launch runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *ObjectPath = "/org/melodrift/Radio";
    static constexpr const char *InterfaceName = "org.freedesktop.Application";

    // "org.melodrift.Radio", followed by "_<suffix>" when MELODRIFT_INSTANCE_SUFFIX is set (so that
    // tests running side by side on one bus do not meet).
    static QString defaultServiceName();

    explicit SingleInstance(QString serviceName = defaultServiceName(),
                            QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the name. True when this is the first instance (or when there is no bus to ask);
    // false when another instance holds the name.
    bool claim();
    bool isPrimary() const { return m_primary; }

    // Asks the running instance to open `urls` (to come to the front when there are none), with
    // this launch's activation token (XDG_ACTIVATION_TOKEN or DESKTOP_STARTUP_ID). True when it
    // answered.
    bool forward(const QStringList &urls, int timeoutMs = 5000);

    QString serviceName() const { return m_serviceName; }

signals:
    // Another launch asked this instance to come to the front; `urls` are what it was given to
    // open, `activationToken` the desktop's permission to take the focus (may be empty).
    void activated(const QStringList &urls, const QString &activationToken);
    // A desktop action by name ("shazam", ...), from the desktop file's actions.
    void actionRequested(const QString &name);

private:
    friend class ApplicationAdaptor;

    QString m_serviceName;
    QDBusConnection m_bus;
    bool m_primary = false;
    bool m_registered = false;
};
