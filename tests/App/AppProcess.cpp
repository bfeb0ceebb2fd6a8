#include "AppProcess.h"

#include "support/QuickHost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QQuickWindow>

AppProcess::AppProcess(const QUrl &backend, const QString &instanceSuffix, const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("MELODRIFT_API_BASE_URL"), backend.toString());
    env.insert(QStringLiteral("MELODRIFT_INSTANCE_SUFFIX"), instanceSuffix);
    // The banner's web engine is not what these tests look at.
    env.insert(QStringLiteral("MELODRIFT_NO_WEBENGINE"), QStringLiteral("1"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"),
               QStringLiteral("qt.*=false;shazam.info=true;melodrift.*.info=true"));
    if (!env.contains(QStringLiteral("GST_PLUGIN_FEATURE_RANK")))
        env.insert(QStringLiteral("GST_PLUGIN_FEATURE_RANK"), QStringLiteral("fakeaudiosink:MAX"));
    for (const char *folder : {"config", "data", "cache", "runtime"})
        QDir(home).mkpath(QString::fromLatin1(folder));
    QFile::setPermissions(home + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                 | QFileDevice::ExeOwner);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    m_process.setProcessEnvironment(env);
    m_process.setProgram(binaryPath());
}

AppProcess::~AppProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

QString AppProcess::binaryPath()
{
    // The test programs live in <build>/tests, the application in <build>/src.
    return QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/melodrift-radio"))
        .canonicalFilePath();
}

void AppProcess::start(const QStringList &arguments)
{
    m_process.setArguments(arguments);
    m_process.start();
}

bool AppProcess::waitForFinished(int timeoutMs)
{
    const bool finished = quickhost::waitFor([this] { return m_process.state() == QProcess::NotRunning; },
                                             timeoutMs);
    collect();
    return finished;
}

void AppProcess::collect()
{
    m_out += QString::fromUtf8(m_process.readAllStandardOutput());
    m_err += QString::fromUtf8(m_process.readAllStandardError());
}

QString AppProcess::standardOutput()
{
    collect();
    return m_out;
}

QString AppProcess::standardError()
{
    collect();
    return m_err;
}

bool AppProcess::waitForOutput(const QString &text, int timeoutMs)
{
    return quickhost::waitFor([&] {
        collect();
        return m_out.contains(text) || m_err.contains(text);
    }, timeoutMs);
}
