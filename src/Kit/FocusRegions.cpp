#include "FocusRegions.h"

#include "AccessibleItems.h"
#include "FocusLanding.h"

#include <QQuickWindow>

#include <algorithm>

namespace {

QList<FocusRegion *> &regions()
{
    static QList<FocusRegion *> all;
    return all;
}

bool isInside(const QQuickItem *item, const QQuickItem *ancestor)
{
    for (const QQuickItem *i = item; i; i = i->parentItem()) {
        if (i == ancestor)
            return true;
    }
    return false;
}

} // namespace

FocusRegion::FocusRegion(QObject *parent) : QObject(parent)
{
    regions().append(this);
}

FocusRegion::~FocusRegion()
{
    regions().removeAll(this);
}

void FocusRegion::setTarget(QQuickItem *target)
{
    if (target == m_target)
        return;
    m_target = target;
    emit targetChanged();
}

bool FocusRegions::cycle(QQuickItem *inWindow, bool forward)
{
    QQuickWindow *window = inWindow ? inWindow->window() : nullptr;
    if (!window)
        return false;
    // The regions a listener can reach now: shown, and not under an open sheet or dialog.
    QList<FocusRegion *> reachable;
    for (FocusRegion *region : std::as_const(regions())) {
        QQuickItem *target = region->m_target;
        if (target && target->window() == window && target->isVisible() && target->width() > 0
            && target->height() > 0 && !ModalCover::covers(target))
            reachable << region;
    }
    // A region split into regions of its own (a page whose content draws its own bar) is those.
    reachable.removeIf([&](const FocusRegion *outer) {
        return std::any_of(reachable.cbegin(), reachable.cend(), [&](const FocusRegion *inner) {
            return inner != outer && inner->m_target != outer->m_target
                   && isInside(inner->m_target, outer->m_target);
        });
    });
    if (reachable.isEmpty())
        return false;
    // In the window's order: top to bottom, and right to left along a line.
    std::sort(reachable.begin(), reachable.end(), [](const FocusRegion *a, const FocusRegion *b) {
        const QPointF pa = a->m_target->mapToScene(QPointF(a->m_target->width(), 0));
        const QPointF pb = b->m_target->mapToScene(QPointF(b->m_target->width(), 0));
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() > pb.x();
    });

    QQuickItem *focused = window->activeFocusItem();
    qsizetype current = -1;
    for (qsizetype i = 0; i < reachable.size(); ++i) {
        if (focused && isInside(focused, reachable[i]->m_target))
            current = i;
    }
    if (current >= 0)
        reachable[current]->m_lastFocus = focused;

    const qsizetype count = reachable.size();
    for (qsizetype step = 1; step <= count; ++step) {
        const qsizetype index = current < 0 ? (forward ? step - 1 : count - step)
                                            : ((current + (forward ? step : -step)) % count + count) % count;
        if (index == current)
            break;
        FocusRegion *region = reachable[index];
        QQuickItem *last = region->m_lastFocus;
        if (last && last->window() == window && last->isVisible() && last->isEnabled() && last->activeFocusOnTab()
            && isInside(last, region->m_target)) {
            last->forceActiveFocus(Qt::TabFocusReason);
            if (last->hasActiveFocus())
                return true;
        }
        if (FocusLanding::moveInto(region->m_target, true))
            return true;
    }
    return false;
}
