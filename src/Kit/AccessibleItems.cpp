#include "AccessibleItems.h"

#include "AccessibleViewport.h"
#include "Announcements.h"
#include "NodeName.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QAccessibleValueInterface>
#include <QList>
#include <QQuickWindow>

#include <algorithm>
#include <cmath>

namespace {

QList<ModalCover *> &openCovers()
{
    static QList<ModalCover *> covers;
    return covers;
}

QList<MenuAction *> &menuActions()
{
    static QList<MenuAction *> actions;
    return actions;
}

// Names for the nodes Qt leaves unnamed and no screen gives one.
const QString ScrollBarName = QStringLiteral("نوار پیمایش");
const QString PopupMenuName = QStringLiteral("منو");

bool isInside(const QQuickItem *item, const QQuickItem *ancestor)
{
    for (const QQuickItem *i = item; i; i = i->parentItem()) {
        if (i == ancestor)
            return true;
    }
    return false;
}

bool isInOverlay(const QQuickItem *item)
{
    for (const QQuickItem *i = item; i; i = i->parentItem()) {
        if (i->inherits("QQuickOverlay"))
            return true;
    }
    return false;
}

// A progress bar's value as assistive technology reads it: how far it has come, 0 to 100 (Qt
// offers none for a Qt Quick progress bar). Read only, as the bar takes no pointer or key.
class ProgressBarValue : public QAccessibleValueInterface
{
public:
    explicit ProgressBarValue(QQuickItem *item) : m_item(item) {}

    static bool isProgressBar(const QQuickItem *item) { return item && item->inherits("QQuickProgressBar"); }

    QVariant currentValue() const override
    {
        if (!m_item || m_item->property("indeterminate").toBool())
            return {};
        return std::clamp(std::round(m_item->property("position").toDouble() * 100), 0.0, 100.0);
    }
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 1.0; }

private:
    QPointer<QQuickItem> m_item;
};

// The role an item is read as: what a kit control declares with `accessibleRole` (this Qt reads
// every button as a push button, whatever role QML sets), a switch as a check box (this Qt reads
// it as a push button, whose checked state readers do not say), else Qt's.
QAccessible::Role declaredRole(const QQuickItem *item, QAccessible::Role qt)
{
    if (!item)
        return qt;
    const QVariant declared = item->property("accessibleRole");
    if (declared.isValid() && declared.toInt() > 0)
        return QAccessible::Role(declared.toInt());
    if (item->inherits("QQuickSwitch"))
        return QAccessible::CheckBox;
    return qt;
}

// Qt's interface of an item, with the item's enabled state and the modal covers added to its
// state, its actions listed once and its context menu among them, a value that a disabled item
// refuses, and a name where Qt gives none. Everything else is Qt's: the children it returns are
// wrapped in turn, since they are looked up through QAccessible::queryAccessibleInterface.
class AccessibleItem : public QAccessibleInterface,
                       public QAccessibleActionInterface,
                       public QAccessibleValueInterface
{
public:
    AccessibleItem(QQuickItem *item, QAccessibleInterface *qt)
        : m_item(item), m_qt(qt), m_qtId(QAccessible::uniqueId(qt)), m_scrollBarValue(item), m_progressValue(item)
    {
        // The bridge caches states: tell it when the enabled state changes.
        m_enabledWatch = QObject::connect(item, &QQuickItem::enabledChanged, item, [item] {
            QAccessible::State changed;
            changed.disabled = true;
            QAccessibleStateChangeEvent event(item, changed);
            QAccessible::updateAccessibility(&event);
        });
    }
    ~AccessibleItem() override
    {
        QObject::disconnect(m_enabledWatch);
        // Qt's interface stays in the accessibility cache under its own id: it goes with this one.
        if (QAccessible::accessibleInterface(m_qtId) == m_qt)
            QAccessible::deleteAccessibleInterface(m_qtId);
    }

    bool isValid() const override { return m_item && m_qt->isValid(); }
    // Not asked of Qt's interface: as the application ends, the cache may delete that one first.
    QObject *object() const override { return m_item; }
    QWindow *window() const override { return m_qt->window(); }
    QList<std::pair<QAccessibleInterface *, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override { return m_qt->relations(match); }
    QAccessibleInterface *focusChild() const override { return m_qt->focusChild(); }
    QAccessibleInterface *childAt(int x, int y) const override { return m_qt->childAt(x, y); }
    QAccessibleInterface *parent() const override { return m_qt->parent(); }
    QAccessibleInterface *child(int index) const override { return m_qt->child(index); }
    int childCount() const override { return m_qt->childCount(); }
    int indexOfChild(const QAccessibleInterface *child) const override { return m_qt->indexOfChild(child); }
    QString text(QAccessible::Text t) const override
    {
        const QString text = m_qt->text(t);
        if (t == QAccessible::Description && text.isEmpty())
            return NodeName::descriptionOf(m_item);
        if (t != QAccessible::Name || !text.isEmpty())
            return text;
        if (const QString given = NodeName::of(m_item); !given.isEmpty())
            return given;
        // This Qt withholds a password edit's name: its label is the description (never the
        // text, which is the password or its mask).
        if (m_qt->state().passwordEdit)
            return m_qt->text(QAccessible::Description);
        switch (m_qt->role()) {
        case QAccessible::ScrollBar:
            return ScrollBarName;
        case QAccessible::Indicator: // a list's scroll indicator (a menu's has one)
            return m_item && m_item->inherits("QQuickScrollIndicator") ? ScrollBarName : text;
        case QAccessible::PopupMenu:
            return PopupMenuName;
        default:
            return text;
        }
    }
    void setText(QAccessible::Text t, const QString &text) override { m_qt->setText(t, text); }
    QRect rect() const override { return m_qt->rect(); }
    QAccessible::Role role() const override { return declaredRole(m_item, m_qt->role()); }
    QColor foregroundColor() const override { return m_qt->foregroundColor(); }
    QColor backgroundColor() const override { return m_qt->backgroundColor(); }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface && (m_qt->actionInterface() || MenuAction::of(m_item)))
            return static_cast<QAccessibleActionInterface *>(this);
        if (type == QAccessible::ValueInterface && accessibleviewport::ScrollBarValue::isScrollBar(m_item))
            return m_scrollBarValue.scrolls() ? static_cast<QAccessibleValueInterface *>(&m_scrollBarValue) : nullptr;
        if (type == QAccessible::ValueInterface && ProgressBarValue::isProgressBar(m_item))
            return static_cast<QAccessibleValueInterface *>(&m_progressValue);
        void *qt = m_qt->interface_cast(type);
        if (type == QAccessible::ValueInterface && qt)
            return static_cast<QAccessibleValueInterface *>(this);
        return qt;
    }
    void virtual_hook(int id, void *data) override { m_qt->virtual_hook(id, data); }

    QAccessible::State state() const override
    {
        QAccessible::State state = m_qt->state();
        if (!m_item)
            return state;
        if (!m_item->isEnabled())
            state.disabled = true;
        // A notification is the window's, not the screen's under the sheet.
        if (ModalCover::covers(m_item) && m_qt->role() != QAccessible::Notification)
            state.invisible = true;
        switch (role()) {
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
            state.checkable = true;
            state.checked = m_item->property("checked").toBool();
            break;
        case QAccessible::PageTab:
            state.selectable = true;
            state.selected = m_item->property("checked").toBool();
            break;
        default:
            break;
        }
        // In place of Qt's, which is outside the window: a sheet would read offscreen while it
        // slides in, and nothing tells when it has arrived.
        state.offscreen = accessibleviewport::outOfView(m_item);
        return state;
    }

    // The action interface: Qt's actions, each once, and ShowMenu while the item's menu can open.
    QStringList actionNames() const override
    {
        QStringList names;
        if (outOfReach())
            return names;
        if (QAccessibleActionInterface *qt = m_qt->actionInterface())
            names = qt->actionNames();
        names.removeDuplicates();
        if (menuOpens() && !names.contains(showMenuAction()))
            names << showMenuAction();
        return names;
    }
    void doAction(const QString &actionName) override
    {
        if (outOfReach())
            return;
        // A control pressed (or toggled, or stepped) takes the focus first, as a click gives it:
        // what the action opens comes back to it, and it stays where the listener acted.
        if (actionName != QAccessibleActionInterface::setFocusAction())
            takeFocus();
        if (actionName == showMenuAction() && MenuAction::of(m_item)) {
            MenuAction::of(m_item)->trigger();
            return;
        }
        if (QAccessibleActionInterface *qt = m_qt->actionInterface())
            qt->doAction(actionName);
    }
    QStringList keyBindingsForAction(const QString &actionName) const override
    {
        if (actionName == showMenuAction() && MenuAction::of(m_item))
            return {QStringLiteral("Menu"), QStringLiteral("Shift+F10")};
        QAccessibleActionInterface *qt = m_qt->actionInterface();
        return qt ? qt->keyBindingsForAction(actionName) : QStringList();
    }
    QString localizedActionName(const QString &actionName) const override
    {
        QAccessibleActionInterface *qt = m_qt->actionInterface();
        return qt ? qt->localizedActionName(actionName) : QAccessibleActionInterface::localizedActionName(actionName);
    }
    QString localizedActionDescription(const QString &actionName) const override
    {
        QAccessibleActionInterface *qt = m_qt->actionInterface();
        return qt ? qt->localizedActionDescription(actionName)
                  : QAccessibleActionInterface::localizedActionDescription(actionName);
    }

    // The value: Qt's, except that a disabled item (a slider greyed out) takes none, as it takes
    // no pointer or key.
    QVariant currentValue() const override { return qtValue() ? qtValue()->currentValue() : QVariant(); }
    void setCurrentValue(const QVariant &value) override
    {
        if (m_item && m_item->isEnabled() && !outOfReach() && qtValue())
            qtValue()->setCurrentValue(value);
    }
    QVariant maximumValue() const override { return qtValue() ? qtValue()->maximumValue() : QVariant(); }
    QVariant minimumValue() const override { return qtValue() ? qtValue()->minimumValue() : QVariant(); }
    QVariant minimumStepSize() const override { return qtValue() ? qtValue()->minimumStepSize() : QVariant(); }

private:
    // Under an open modal sheet, dialog or menu: neither pressed nor set, as no pointer reaches it.
    bool outOfReach() const { return m_item && ModalCover::covers(m_item); }
    void takeFocus() const
    {
        if (m_item && m_item->activeFocusOnTab() && m_item->isEnabled() && m_item->isVisible() && !m_item->hasActiveFocus())
            m_item->forceActiveFocus(Qt::OtherFocusReason);
    }
    bool menuOpens() const { return m_item && m_item->isEnabled() && m_item->isVisible() && MenuAction::of(m_item); }
    QAccessibleValueInterface *qtValue() const
    {
        return static_cast<QAccessibleValueInterface *>(m_qt->interface_cast(QAccessible::ValueInterface));
    }

    QPointer<QQuickItem> m_item;
    QAccessibleInterface *m_qt;
    QAccessible::Id m_qtId;
    QMetaObject::Connection m_enabledWatch;
    accessibleviewport::ScrollBarValue m_scrollBarValue;
    ProgressBarValue m_progressValue;
};

// Asked first for every object's most derived class: for an item, it has Qt make its own
// interface (this factory stands aside meanwhile) and wraps it.
QAccessibleInterface *wrapQuickItem(const QString &className, QObject *object)
{
    static bool makingQtInterface = false;
    if (makingQtInterface)
        return nullptr;
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    makingQtInterface = true;
    QAccessibleInterface *qt = QAccessible::queryAccessibleInterface(object);
    makingQtInterface = false;
    return qt ? new AccessibleItem(item, qt) : nullptr;
}

// Where the events go once the kit has seen them: the handler installed before (none: Qt's bridge).
QAccessible::UpdateHandler previousHandler = nullptr;

void forwardEvent(QAccessibleEvent *event)
{
    if (!passesAccessibleEvent(event))
        return;
    QAccessible::installUpdateHandler(previousHandler);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(forwardEvent);
}

// Roles of the frames a focus passes through on its way to a control.
bool isFrame(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::NoRole:
    case QAccessible::Client:
    case QAccessible::Pane:
    case QAccessible::Grouping:
    case QAccessible::LayeredPane:
    case QAccessible::List:
    case QAccessible::Window:
        return true;
    default:
        return false;
    }
}

void installAccessibleItems()
{
    QAccessible::installFactory(wrapQuickItem);
    previousHandler = QAccessible::installUpdateHandler(forwardEvent);
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(installAccessibleItems)

bool passesAccessibleEvent(QAccessibleEvent *event)
{
    QObject *object = event->object();
    auto *item = qobject_cast<QQuickItem *>(object);
    switch (event->type()) {
    case QAccessible::ValueChanged:
        // A position that only follows the clock.
        return !(object && object->property("followsClock").toBool() && object->property("showingModel").toBool());
    case QAccessible::Focus: {
        // A frame the focus passes through on its way to a control (the window's root, a page
        // as it is pushed, a list entering its first row): told, a reader would say "layered
        // pane", or the page's name cut off by the control a moment later; untold, it says the
        // page's name as the control's context, in one go.
        QAccessibleInterface *node = event->accessibleInterface();
        return !(item && node && isFrame(node->role()));
    }
    case QAccessible::NameChanged:
        // Readers say nothing of a name change alone (this Qt's event carries no name): the
        // focused control's new name is spoken for it.
        if (item && item->activeFocusOnTab() && item->window() && item->window()->activeFocusItem() == item) {
            if (QAccessibleInterface *node = event->accessibleInterface())
                Announcements::shared().focusedRenamed(item, node->text(QAccessible::Name));
        }
        return true;
    default:
        return true;
    }
}

ModalCover::ModalCover(QObject *parent) : QObject(parent) {}

ModalCover::~ModalCover()
{
    openCovers().removeAll(this);
}

void ModalCover::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    update();
    emit activeChanged();
}

void ModalCover::setContent(QQuickItem *content)
{
    if (content == m_content)
        return;
    m_content = content;
    update();
    emit contentChanged();
}

void ModalCover::update()
{
    const bool registered = m_active && m_content;
    if (registered == m_registered)
        return;
    m_registered = registered;
    if (registered)
        openCovers().append(this);
    else
        openCovers().removeAll(this);
    // What lies under it comes and goes as a whole: say so for the window's top items.
    if (QQuickWindow *window = m_content ? m_content->window() : nullptr) {
        for (QQuickItem *top : window->contentItem()->childItems()) {
            QAccessible::State changed;
            changed.invisible = true;
            QAccessibleStateChangeEvent event(top, changed);
            QAccessible::updateAccessibility(&event);
        }
    }
}

bool ModalCover::covers(const QQuickItem *item)
{
    const QQuickWindow *window = item->window();
    if (!window)
        return false;
    QList<const QQuickItem *> layers; // the windows' open covers, lowest first
    for (const ModalCover *cover : std::as_const(openCovers())) {
        if (cover->m_content && cover->m_content->window() == window)
            layers << cover->m_content.data();
    }
    if (layers.isEmpty() || isInside(item, layers.last()))
        return false;
    for (const QQuickItem *lower : std::as_const(layers)) {
        if (isInside(item, lower))
            return true;
    }
    // Above the covers stand the menus and tool tips opened from the top one.
    return !isInOverlay(item);
}

MenuAction::MenuAction(QObject *parent) : QObject(parent) {}

MenuAction::~MenuAction()
{
    menuActions().removeAll(this);
}

void MenuAction::setTarget(QQuickItem *target)
{
    if (target == m_target)
        return;
    m_target = target;
    menuActions().removeAll(this);
    if (target)
        menuActions().append(this);
    emit targetChanged();
}

MenuAction *MenuAction::of(const QQuickItem *item)
{
    if (!item)
        return nullptr;
    for (MenuAction *action : std::as_const(menuActions())) {
        if (action->m_target == item)
            return action;
    }
    return nullptr;
}

void MenuAction::trigger()
{
    if (m_target && m_target->isEnabled() && m_target->isVisible())
        emit requested();
}
