#include "Platform/WebBanner/WebBannerHostKeeper.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimerEvent>

WebBannerHostKeeper *WebBannerHostKeeper::shared()
{
    static QPointer<WebBannerHostKeeper> keeper;
    if (!keeper && QCoreApplication::instance())
        keeper = new WebBannerHostKeeper(QCoreApplication::instance());
    return keeper;
}

void WebBannerHostKeeper::keep(std::unique_ptr<WebBannerProcess> process, const QStringList &arguments, int keepMs)
{
    if (!process || !process->isRunning())
        return;
    process->setShown(false);
    if (keepMs <= 0)
        return; // ended as it goes
    endKept();
    m_kept = std::move(process);
    m_arguments = arguments;
    // A host that ends by itself meanwhile is let go at once.
    connect(m_kept.get(), &WebBannerProcess::runningChanged, this, [this] {
        if (m_kept && !m_kept->isRunning())
            endKept();
    });
    m_timer = startTimer(keepMs);
}

std::unique_ptr<WebBannerProcess> WebBannerHostKeeper::take(const QStringList &arguments)
{
    if (!m_kept || !m_kept->isRunning() || arguments != m_arguments)
        return nullptr;
    killTimer(m_timer);
    m_timer = 0;
    m_kept->disconnect(this);
    m_arguments.clear();
    return std::move(m_kept);
}

qint64 WebBannerHostKeeper::keptProcessId() const
{
    return m_kept ? m_kept->processId() : 0;
}

void WebBannerHostKeeper::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_timer)
        endKept();
}

void WebBannerHostKeeper::endKept()
{
    if (m_timer)
        killTimer(m_timer);
    m_timer = 0;
    m_arguments.clear();
    if (!m_kept)
        return;
    m_kept->disconnect(this);
    // Ending never waits for the host; the object goes once the signal that may have brought us
    // here has returned.
    WebBannerProcess *process = m_kept.release();
    process->stop();
    process->deleteLater();
}
