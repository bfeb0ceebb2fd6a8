#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// A region of its window between which F6 and Shift+F6 move the keyboard focus, as they move
// between the panes of a desktop application: a page's bar and its content, the mini player bar,
// the tab bar. However long a list the focus is in, one key leaves it.
//     FocusRegion { target: bar }
class FocusRegion : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *target READ target WRITE setTarget NOTIFY targetChanged)

public:
    explicit FocusRegion(QObject *parent = nullptr);
    ~FocusRegion() override;

    QQuickItem *target() const { return m_target; }
    void setTarget(QQuickItem *target);

signals:
    void targetChanged();

private:
    friend class FocusRegions;
    QPointer<QQuickItem> m_target;
    // The control that had the focus when it last left this region.
    QPointer<QQuickItem> m_lastFocus;
};

// Moves the focus between the regions of a window (MelodriftWindow binds F6 and Shift+F6 to it):
// to the next region that shows and has a control to take it, in the window's order from top to
// bottom (the previous one going back), round from the last to the first. It lands on the
// control that last had the focus there, else on the region's first control, showing the ring.
// While a modal sheet or dialog is open only the regions inside it count; a region that holds
// regions of its own (a page whose content draws its own bar) counts as those. Focus outside
// every region goes to the first one (the last going back).
class FocusRegions : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit FocusRegions(QObject *parent = nullptr) : QObject(parent) {}

    // Returns whether the focus moved.
    Q_INVOKABLE static bool cycle(QQuickItem *inWindow, bool forward);
};
