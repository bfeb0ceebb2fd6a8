#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;
class QQuickWindow;

// What a window tells a screen reader without moving the keyboard focus: one notification node
// per window, a child of the window itself (outside every sheet and dialog, so that a reader
// speaks the message alone, not the window's and the sheet's names in front of it). The window
// root (MelodriftWindow) declares it; Announcer, the focused control's renamed state and the
// screens' one-off messages speak through it.
//   - Each message shows the node anew (hidden, named, shown), which a reader speaks.
//   - Messages given within one pass of the event loop are spoken as one, in order; a focused
//     control's new name is left out when something else speaks in that pass (the player saying
//     it now plays, say, as its button turns into "مکث").
//   - A source under an open modal sheet, dialog or menu says nothing: what it speaks of is not
//     in view.
//   - A message another source of the window has just given (the last one spoken) is not spoken
//     again: two screens reporting the same state speak once. The same source repeating itself
//     is a new message (a second refusal of the same request).
class Announcements : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static Announcements &shared();
    static Announcements *create(QQmlEngine *, QJSEngine *);

    // The window's notification node: an item with a `message` string property that its
    // accessible name follows.
    Q_INVOKABLE void addChannel(QQuickItem *channel);
    // Speaks `message` for `source` (an item in the window): returns whether it will be spoken.
    Q_INVOKABLE bool announce(QQuickItem *source, const QString &message);
    // The message of `source` went (its text was cleared): the node no longer shows it.
    Q_INVOKABLE void withdraw(QQuickItem *source);
    // The control holding the focus has a new name, which says how it changed (a play button
    // that now reads "پخش").
    void focusedRenamed(QQuickItem *control, const QString &name);

    // The node of `window`; null when it has none.
    QQuickItem *channelOf(const QQuickWindow *window) const;

private:
    explicit Announcements(QObject *parent = nullptr);

    struct Pending
    {
        QStringList messages;
        QList<QPointer<QQuickItem>> sources; // whose each message is
        QString renamed;
    };
    struct Last
    {
        QString message;
        QPointer<QObject> source;
    };
    void queue(QQuickItem *channel, QQuickItem *source, const QString &message, bool renamed);
    void flush();

    QList<QPointer<QQuickItem>> m_channels;
    // By channel.
    QHash<QQuickItem *, Pending> m_pending;
    QHash<QQuickItem *, Last> m_last;
    bool m_flushQueued = false;
};
