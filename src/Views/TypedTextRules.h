#pragma once

#include "TypedText.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

// The typed-text rules for QML: TypedTextRules.characters("۱۲۳") splits into user-perceived
// characters.
class TypedTextRules : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
public:
    using QObject::QObject;
    Q_INVOKABLE QStringList characters(const QString &text) const { return typedtext::characters(text); }
};
