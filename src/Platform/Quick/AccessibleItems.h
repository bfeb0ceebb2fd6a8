#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// What this Qt's accessibility of Qt Quick items leaves out, added to every item of every window
// (AccessibleItems.cpp wraps Qt's own interface of each item and changes only its state):
//   - an item that is disabled (itself or through an ancestor) is exposed as disabled, which
//     AT-SPI reads as neither enabled nor sensitive;
//   - while a modal sheet or dialog is open, what lies under it is exposed as not showing.
// The second needs to know which popups are modal and open: each one declares a ModalCover.
//     Popup { id: sheet; modal: true; ModalCover { active: sheet.visible; content: sheet.contentItem } }
// Everything inside `content` stays exposed, as do menus opened above it; the rest of its window
// does not while `active` holds.
class ModalCover : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool active READ active WRITE setActive NOTIFY activeChanged)
    Q_PROPERTY(QQuickItem *content READ content WRITE setContent NOTIFY contentChanged)

public:
    explicit ModalCover(QObject *parent = nullptr);
    ~ModalCover() override;

    bool active() const { return m_active; }
    void setActive(bool active);
    QQuickItem *content() const { return m_content; }
    void setContent(QQuickItem *content);

    // Whether an open modal cover hides `item` from assistive technology.
    static bool covers(const QQuickItem *item);

signals:
    void activeChanged();
    void contentChanged();

private:
    void update();

    bool m_active = false;
    QPointer<QQuickItem> m_content;
    bool m_registered = false;
};
