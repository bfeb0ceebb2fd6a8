#pragma once

#include "Platform/WebBanner/WebBannerProcess.h"

#include <QObject>
#include <QStringList>

#include <memory>

// Keeps a banner's web host running for a while after its banner went away (the full player
// closed), hidden, so that a banner of the same page shown again within that time takes it over
// instead of starting the web engine anew; a host nobody takes back is ended when its time is up.
//     ~banner:   WebBannerHostKeeper::shared()->keep(std::move(process), arguments, 60000);
//     start:     if (auto kept = WebBannerHostKeeper::shared()->take(arguments)) ...
// It holds one host at most (the newest). Lives as long as the application object; GUI thread only.
class WebBannerHostKeeper : public QObject
{
    Q_OBJECT

public:
    // Null before the application object exists or after it has gone.
    static WebBannerHostKeeper *shared();

    // Takes over a running host of the page `arguments` for `keepMs` (0: ends it now).
    void keep(std::unique_ptr<WebBannerProcess> process, const QStringList &arguments, int keepMs);
    // The kept host of the page `arguments`, still running; null when there is none.
    std::unique_ptr<WebBannerProcess> take(const QStringList &arguments);
    // The process id of the kept host, 0 when none is kept.
    qint64 keptProcessId() const;

private:
    using QObject::QObject;
    void endKept();

    std::unique_ptr<WebBannerProcess> m_kept;
    QStringList m_arguments;
    int m_timer = 0;

protected:
    void timerEvent(QTimerEvent *event) override;
};
