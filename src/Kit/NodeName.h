#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The accessible name of an item that QML cannot name itself, such as a popup's own node (the
// dialog a screen reader announces as a sheet opens): the kit's accessible layer
// (AccessibleItems.cpp) reads it where Qt gives the node no name.
//     NodeName { target: sheet.contentItem.parent; name: sheet.title }
class NodeName : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)

public:
    explicit NodeName(QObject *parent = nullptr);
    ~NodeName() override;

    QQuickItem *target() const { return m_target; }
    void setTarget(QQuickItem *target);
    QString name() const { return m_name; }
    void setName(const QString &name);

    // The name given to `item`; a null string when none is.
    static QString of(const QQuickItem *item);

signals:
    void targetChanged();
    void nameChanged();

private:
    // The bridge caches names: tell it of the target's new one.
    void announceChange() const;

    QPointer<QQuickItem> m_target;
    QString m_name;
};
