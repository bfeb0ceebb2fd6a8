#include "support/Playerctl.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

namespace playerctl {

bool available()
{
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")
           && !QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty();
}

QDBusConnection privateSessionConnection()
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("melodrift-test-bus-%1").arg(counter.fetchAndAddOrdered(1));
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

QString uniqueServiceName()
{
    static QAtomicInt counter;
    return QStringLiteral("org.mpris.MediaPlayer2.melodrifttest%1x%2")
        .arg(QCoreApplication::applicationPid())
        .arg(counter.fetchAndAddOrdered(1));
}

Result run(const QString &player, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    process.start(QStringLiteral("playerctl"), QStringList{QStringLiteral("-p"), player} + arguments);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    Result r;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(2000);
        r.err = QStringLiteral("timed out");
        return r;
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    r.err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    return r;
}

QString playerName(const QString &serviceName)
{
    const QString prefix = QStringLiteral("org.mpris.MediaPlayer2.");
    return serviceName.startsWith(prefix) ? serviceName.mid(prefix.size()) : serviceName;
}

} // namespace playerctl
