#include "PasswordAccessibility.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QQuickWindow>

const char *const PasswordAccessibility::MarkProperty = "_melodriftPasswordName";

namespace {

constexpr QChar Bullet(0x2022);

// The interface of a marked text input: an editable text whose every character reads as a bullet.
class PasswordFieldInterface : public QAccessibleObject,
                               public QAccessibleTextInterface,
                               public QAccessibleActionInterface
{
public:
    explicit PasswordFieldInterface(QQuickItem *item) : QAccessibleObject(item) {}

    QQuickItem *item() const { return static_cast<QQuickItem *>(object()); }
    QString masked() const { return QString(length(), Bullet); }
    int length() const { return int(item()->property("length").toInt()); }

    // QAccessibleInterface
    QWindow *window() const override { return item()->window(); }
    QAccessibleInterface *parent() const override
    {
        for (QQuickItem *up = item()->parentItem(); up; up = up->parentItem()) {
            if (up == item()->window()->contentItem())
                break;
            if (QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(up))
                return iface;
        }
        return QAccessible::queryAccessibleInterface(item()->window());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    QRect rect() const override
    {
        if (!item()->window())
            return {};
        const QRectF scene = item()->mapRectToScene(QRectF(0, 0, item()->width(), item()->height()));
        return QRect(item()->window()->mapToGlobal(scene.topLeft().toPoint()), scene.size().toSize());
    }
    QAccessible::Role role() const override { return QAccessible::EditableText; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        s.editable = true;
        s.passwordEdit = true;
        s.focusable = true;
        s.focused = item()->hasActiveFocus();
        s.invisible = !item()->isVisible();
        s.disabled = !item()->isEnabled();
        return s;
    }
    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name: return item()->property(PasswordAccessibility::MarkProperty).toString();
        case QAccessible::Value: return masked();
        default: return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // QAccessibleTextInterface: every range reads as bullets.
    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index == 0) {
            *start = item()->property("selectionStart").toInt();
            *end = item()->property("selectionEnd").toInt();
        }
    }
    int selectionCount() const override
    {
        return item()->property("selectionStart") != item()->property("selectionEnd") ? 1 : 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return item()->property("cursorPosition").toInt(); }
    void setCursorPosition(int position) override { item()->setProperty("cursorPosition", position); }
    QString text(int start, int end) const override
    {
        start = qBound(0, start, length());
        end = qBound(start, end, length());
        return QString(end - start, Bullet);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        return around(offset - 1, type, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        return around(offset + 1, type, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const override
    {
        return around(offset, type, start, end);
    }
    int characterCount() const override { return length(); }
    QRect characterRect(int) const override { return rect(); }
    int offsetAtPoint(const QPoint &) const override { return cursorPosition(); }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }

    // QAccessibleActionInterface: focusing.
    QStringList actionNames() const override { return {setFocusAction()}; }
    void doAction(const QString &name) override
    {
        if (name == setFocusAction())
            item()->forceActiveFocus(Qt::OtherFocusReason);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    // One bullet for a character boundary, the whole (masked) text for any other.
    QString around(int offset, QAccessible::TextBoundaryType type, int *start, int *end) const
    {
        const int n = length();
        if (type == QAccessible::CharBoundary) {
            if (offset < 0 || offset >= n) {
                *start = *end = -1;
                return {};
            }
            *start = offset;
            *end = offset + 1;
            return QString(Bullet);
        }
        *start = 0;
        *end = n;
        return masked();
    }
};

QAccessibleInterface *passwordFieldFactory(const QString &, QObject *object)
{
    auto *item = qobject_cast<QQuickItem *>(object);
    if (!item)
        return nullptr;
    // Marked, or any text input in a password mode (TextInput.Password, PasswordEchoOnEdit).
    const int echoMode = item->inherits("QQuickTextInput") ? item->property("echoMode").toInt() : 0;
    if (item->property(PasswordAccessibility::MarkProperty).isValid() || echoMode == 2 || echoMode == 3)
        return new PasswordFieldInterface(item);
    return nullptr;
}

} // namespace

PasswordAccessibility::PasswordAccessibility(QObject *parent) : QObject(parent)
{
    // Factories installed later are asked first: this one comes before Qt Quick's.
    static const bool installed = [] {
        QAccessible::installFactory(&passwordFieldFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void PasswordAccessibility::setTarget(QQuickItem *target)
{
    if (m_target == target)
        return;
    if (m_target)
        m_target->setProperty(MarkProperty, QVariant());
    m_target = target;
    mark();
    emit targetChanged();
}

void PasswordAccessibility::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    mark();
    emit nameChanged();
}

void PasswordAccessibility::mark()
{
    if (!m_target)
        return;
    m_target->setProperty(MarkProperty, m_name);
    // An interface made for the item before it was marked would still hand out its text.
    QAccessibleInterface *cached = QAccessible::queryAccessibleInterface(m_target);
    if (cached && !dynamic_cast<PasswordFieldInterface *>(cached))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(cached));
}
