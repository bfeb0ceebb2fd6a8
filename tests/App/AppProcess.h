#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// The real application binary, started offscreen against a backend address, in a home of its own
// (configuration, data, runtime folders) and with a single-instance bus name of its own, so that
// tests running side by side never meet. Its output is collected line by line.
class AppProcess
{
public:
    // `instanceSuffix` names the bus name: processes sharing it are one application.
    AppProcess(const QUrl &backend, const QString &instanceSuffix, const QString &home);
    ~AppProcess();

    static QString binaryPath();

    void start(const QStringList &arguments);
    bool waitForFinished(int timeoutMs);
    // Asks the application to quit (SIGTERM, as when its window is closed by the session).
    void terminate() { m_process.terminate(); }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    // Everything printed so far on standard output and on standard error.
    QString standardOutput();
    QString standardError();
    // Spins the event loop until `text` has been printed on either stream.
    bool waitForOutput(const QString &text, int timeoutMs);

private:
    void collect();

    QProcess m_process;
    QString m_out;
    QString m_err;
};
