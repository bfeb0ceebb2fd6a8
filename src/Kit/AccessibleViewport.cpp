#include "AccessibleViewport.h"

#include "AccessibleItems.h"

#include <QAccessible>
#include <QQuickItem>

#include <algorithm>
#include <cmath>
#include <optional>

namespace accessibleviewport {

namespace {

// How often, at most, a scrolling view tells assistive technology what came and went.
constexpr int CheckInterval = 100; // ms

// Never destroyed: watches go with their views, which may outlive static objects at exit.
QHash<const QQuickItem *, ViewportWatch *> &watches()
{
    static auto *all = new QHash<const QQuickItem *, ViewportWatch *>;
    return *all;
}

QRectF sceneRect(const QQuickItem *item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// Whether `rect` shows at least in part inside `view`; an item without width or height shows
// where it stands.
bool overlaps(const QRectF &rect, const QRectF &view)
{
    if (view.isEmpty())
        return false;
    if (rect.width() <= 0 || rect.height() <= 0) {
        return rect.left() >= view.left() && rect.left() <= view.right() && rect.top() >= view.top()
               && rect.top() <= view.bottom();
    }
    return rect.left() < view.right() && rect.right() > view.left() && rect.top() < view.bottom()
           && rect.bottom() > view.top();
}

bool isFlickable(const QQuickItem *item)
{
    return item->inherits("QQuickFlickable");
}

// An item that a list of items (a menu's) holds aside, out of its view: a child of the list other
// than its content and its scroll bars, which the list does not draw.
bool heldAside(const QQuickItem *item)
{
    const QQuickItem *list = item->parentItem();
    if (!list || !list->inherits("QQuickItemView") || ScrollBarValue::isScrollBar(item)
        || item->inherits("QQuickScrollIndicator")
        || item == qvariant_cast<QQuickItem *>(list->property("contentItem")))
        return false;
    const QObject *model = qvariant_cast<QObject *>(list->property("model"));
    return model && model->inherits("QQmlObjectModel");
}

// In view of every scrolling view it lies in (clipped or not: what lies past a view's edge is
// under the bars beside it or past the window's). Only those views count: what moves a whole
// screen (a sheet sliding in) moves its views with it, and nothing tells when it ends.
bool inView(const QQuickItem *item)
{
    std::optional<QRectF> view;
    if (heldAside(item))
        return false;
    for (const QQuickItem *ancestor = item->parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        if (heldAside(ancestor))
            return false;
        if (isFlickable(ancestor)) {
            view = view ? *view & sceneRect(ancestor) : sceneRect(ancestor);
            if (view->isEmpty())
                return false;
        }
    }
    return !view || overlaps(sceneRect(item), *view);
}

// Has the scrolling views `item` lies in watch it, now that assistive technology was told whether
// it `shows`.
void watchInViews(const QQuickItem *item, bool shows)
{
    if (!QAccessible::isActive())
        return;
    for (QQuickItem *ancestor = item->parentItem(); ancestor; ancestor = ancestor->parentItem()) {
        if (isFlickable(ancestor))
            ViewportWatch::of(ancestor)->watch(item, shows);
    }
}

} // namespace

bool outOfView(const QQuickItem *item)
{
    if (!item)
        return false;
    const bool shows = inView(item);
    watchInViews(item, shows);
    return !shows;
}

// ------------------------------------------------------------------ scroll bar value

ScrollBarValue::ScrollBarValue(QQuickItem *item) : m_item(item) {}

bool ScrollBarValue::isScrollBar(const QQuickItem *item)
{
    return item && item->inherits("QQuickScrollBar");
}

double ScrollBarValue::travel() const
{
    if (!m_item)
        return 0;
    const double travel = 1.0 - m_item->property("size").toDouble();
    return travel > 1e-6 ? travel : 0;
}

QVariant ScrollBarValue::currentValue() const
{
    const QVariant value = percent();
    // Read once, it is told as it moves.
    if (value.isValid())
        watchInViews(m_item, inView(m_item));
    return value;
}

QVariant ScrollBarValue::percent() const
{
    const double range = travel();
    if (range == 0)
        return {};
    return std::clamp(std::round(m_item->property("position").toDouble() / range * 100), 0.0, 100.0);
}

void ScrollBarValue::setCurrentValue(const QVariant &value)
{
    const double range = travel();
    if (range == 0 || !m_item->isEnabled())
        return;
    // As the bar's own Increase does: only an active bar moves its view.
    const bool wasActive = m_item->property("active").toBool();
    m_item->setProperty("active", true);
    m_item->setProperty("position", std::clamp(value.toDouble(), 0.0, 100.0) / 100 * range);
    m_item->setProperty("active", wasActive);
}

QVariant ScrollBarValue::maximumValue() const
{
    return travel() == 0 ? QVariant() : QVariant(100.0);
}

QVariant ScrollBarValue::minimumValue() const
{
    return travel() == 0 ? QVariant() : QVariant(0.0);
}

QVariant ScrollBarValue::minimumStepSize() const
{
    const double range = travel();
    if (range == 0)
        return {};
    // The bar's own step, as its Increase and Decrease take it (a tenth when it has none).
    const double step = m_item->property("stepSize").toDouble();
    return std::min(100.0, (step > 0 ? step : 0.1) / range * 100);
}

// ------------------------------------------------------------------ watching a view

ViewportWatch *ViewportWatch::of(QQuickItem *flickable)
{
    ViewportWatch *&watch = watches()[flickable];
    if (!watch)
        watch = new ViewportWatch(flickable);
    return watch;
}

ViewportWatch::ViewportWatch(QQuickItem *flickable) : QObject(flickable)
{
    m_pending.setSingleShot(true);
    m_pending.setInterval(CheckInterval);
    connect(&m_pending, &QTimer::timeout, this, &ViewportWatch::check);
    for (const char *change : {SIGNAL(contentXChanged()), SIGNAL(contentYChanged()), SIGNAL(contentWidthChanged()),
                               SIGNAL(contentHeightChanged()), SIGNAL(widthChanged()), SIGNAL(heightChanged())})
        connect(flickable, change, this, SLOT(moved()));
    const QQuickItem *key = flickable;
    connect(this, &QObject::destroyed, [key] { watches().remove(key); });
}

void ViewportWatch::watch(const QQuickItem *item, bool inView)
{
    Seen &seen = m_seen[item];
    if (seen.item != item) {
        seen.item = const_cast<QQuickItem *>(item);
        seen.value = ScrollBarValue::isScrollBar(item) ? ScrollBarValue(seen.item).percent().toDouble() : 0;
    }
    seen.inView = inView;
}

void ViewportWatch::moved()
{
    // Nothing listens: nothing to work out.
    if (!QAccessible::isActive() || m_seen.isEmpty() || m_pending.isActive())
        return;
    m_pending.start();
}

void ViewportWatch::check()
{
    if (!QAccessible::isActive())
        return;
    // Worked out first and told afterwards: telling makes assistive technology read the items
    // again, which comes back here.
    QList<std::pair<QPointer<QQuickItem>, QAccessible::Event>> changes;
    QList<std::pair<QPointer<QQuickItem>, double>> values;
    for (auto seen = m_seen.begin(); seen != m_seen.end();) {
        QQuickItem *item = seen->item;
        if (!item) {
            seen = m_seen.erase(seen);
            continue;
        }
        const bool shows = inView(item);
        if (shows != seen->inView) {
            seen->inView = shows;
            if (item->isVisible() && !ModalCover::covers(item))
                changes << std::pair(seen->item, shows ? QAccessible::ObjectShow : QAccessible::ObjectHide);
        }
        if (ScrollBarValue::isScrollBar(item)) {
            const double value = ScrollBarValue(item).percent().toDouble();
            if (value != seen->value) {
                seen->value = value;
                values << std::pair(seen->item, value);
            }
        }
        ++seen;
    }
    for (const auto &[item, type] : std::as_const(changes)) {
        if (item) {
            QAccessibleEvent event(item.data(), type);
            QAccessible::updateAccessibility(&event);
        }
    }
    for (const auto &[item, value] : std::as_const(values)) {
        if (item) {
            QAccessibleValueChangeEvent event(item.data(), value);
            QAccessible::updateAccessibility(&event);
        }
    }
}

} // namespace accessibleviewport
