#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QString>
#include <QAccessible>
#include <QtQml/qqmlregistration.h>

// The accessible name of an item that QML cannot name itself, such as a popup's own node (the
// dialog a screen reader announces as a sheet opens), and its description (what the dialog acts
// on, which a reader speaks after its name): the kit's accessible layer (AccessibleItems.cpp)
// reads them where Qt gives the node none.
//     NodeName { target: sheet.contentItem.parent; name: sheet.title; description: trackTitle }
class NodeName : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString description READ description WRITE setDescription NOTIFY descriptionChanged)

public:
    explicit NodeName(QObject *parent = nullptr);
    ~NodeName() override;

    QQuickItem *target() const { return m_target; }
    void setTarget(QQuickItem *target);
    QString name() const { return m_name; }
    void setName(const QString &name);
    QString description() const { return m_description; }
    void setDescription(const QString &description);

    // The name given to `item`; a null string when none is.
    static QString of(const QQuickItem *item);
    // The description given to `item`; a null string when none is.
    static QString descriptionOf(const QQuickItem *item);

signals:
    void targetChanged();
    void nameChanged();
    void descriptionChanged();

private:
    // The bridge caches names: tell it of the target's new one.
    void announceChange(QAccessible::Event change) const;

    QPointer<QQuickItem> m_target;
    QString m_name;
    QString m_description;
};
