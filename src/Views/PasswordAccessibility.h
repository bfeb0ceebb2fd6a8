#pragma once

#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Makes a text input a password field for assistive technology: announced as a password edit,
// its name given here, its text only ever exposed as bullets (value, text, and edits alike).
//     TextInput { id: input; echoMode: TextInput.Password
//                 Accessible.role: Accessible.Client      // keeps Qt's own text events away
//                 PasswordAccessibility { target: input; name: "رمز عبور" } }
// Qt Quick's own interface for a text input hands out the typed text even in password mode.
class PasswordAccessibility : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QQuickItem *target READ target WRITE setTarget NOTIFY targetChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)

public:
    explicit PasswordAccessibility(QObject *parent = nullptr);

    QQuickItem *target() const { return m_target; }
    void setTarget(QQuickItem *target);
    const QString &name() const { return m_name; }
    void setName(const QString &name);

    // The dynamic property that marks an item as a password field; it holds the field's name.
    static const char *const MarkProperty;

signals:
    void targetChanged();
    void nameChanged();

private:
    void mark();

    QPointer<QQuickItem> m_target;
    QString m_name;
};
