#include "Announcements.h"

#include "AccessibleItems.h"

#include <QJSEngine>
#include <QQuickWindow>
#include <QTimer>

Announcements::Announcements(QObject *parent) : QObject(parent) {}

Announcements &Announcements::shared()
{
    static Announcements *instance = new Announcements;
    return *instance;
}

Announcements *Announcements::create(QQmlEngine *, QJSEngine *)
{
    QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
    return &shared();
}

void Announcements::addChannel(QQuickItem *channel)
{
    m_channels.removeAll(nullptr);
    if (!channel || m_channels.contains(channel))
        return;
    m_channels.append(channel);
    // What it said goes with it (another window may come to stand at its address).
    connect(channel, &QObject::destroyed, this, [this, channel] {
        m_pending.remove(channel);
        m_last.remove(channel);
    });
}

QQuickItem *Announcements::channelOf(const QQuickWindow *window) const
{
    if (!window)
        return nullptr;
    for (const QPointer<QQuickItem> &channel : m_channels) {
        if (channel && channel->window() == window)
            return channel;
    }
    return nullptr;
}

bool Announcements::announce(QQuickItem *source, const QString &message)
{
    QQuickItem *channel = source ? channelOf(source->window()) : nullptr;
    if (!channel || message.isEmpty() || ModalCover::covers(source))
        return false;
    const Last &last = m_last.value(channel);
    if (last.message == message && last.source != source)
        return false;
    queue(channel, source, message, false);
    return true;
}

void Announcements::withdraw(QQuickItem *source)
{
    QQuickItem *channel = source ? channelOf(source->window()) : nullptr;
    auto last = m_last.find(channel);
    if (!channel || last == m_last.end() || last->source != source)
        return;
    channel->setVisible(false);
    m_last.erase(last);
}

void Announcements::focusedRenamed(QQuickItem *control, const QString &name)
{
    QQuickItem *channel = control ? channelOf(control->window()) : nullptr;
    if (!channel || name.isEmpty() || !control->isVisible())
        return;
    queue(channel, control, name, true);
}

void Announcements::queue(QQuickItem *channel, QQuickItem *source, const QString &message, bool renamed)
{
    Pending &pending = m_pending[channel];
    if (renamed) {
        pending.renamed = message;
    } else if (const qsizetype said = pending.sources.indexOf(source); said >= 0) {
        // Changed again before it was spoken: what it said then no longer holds.
        pending.messages.removeAt(said);
        pending.sources.removeAt(said);
    }
    if (!renamed && !pending.messages.contains(message)) {
        pending.messages << message;
        pending.sources << source;
    }
    m_last[channel] = Last{message, source};
    if (!m_flushQueued) {
        m_flushQueued = true;
        // Two passes on: an Announcer settles its text at the end of the pass it changed in (a
        // status that changed with the focused control's name is then in the same message).
        QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, &Announcements::flush); });
    }
}

void Announcements::flush()
{
    m_flushQueued = false;
    const auto pending = std::exchange(m_pending, {});
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        QQuickItem *channel = it.key();
        // A screen covered since it spoke (a card press opening the full player over the home
        // screen, say) tells of a state that now stands behind the cover.
        QStringList messages;
        for (qsizetype i = 0; i < it->messages.size(); ++i) {
            if (it->sources.at(i) && !ModalCover::covers(it->sources.at(i)))
                messages << it->messages.at(i);
        }
        if (messages.isEmpty() && it->renamed.isEmpty())
            continue;
        const QString message = messages.isEmpty() ? it->renamed : messages.join(QStringLiteral("، "));
        // A reader speaks the node as it appears.
        channel->setVisible(false);
        channel->setProperty("message", message);
        channel->setVisible(true);
    }
}
