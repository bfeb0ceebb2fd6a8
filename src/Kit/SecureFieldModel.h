#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The password behind a SecureField. The field's own text only ever holds the mask (one "•" per
// character), so neither the field nor anything that reads it (assistive technology, its
// accessibility events, the input method) ever sees the password; the field hands every edit here.
// Positions are those of the mask: one per user-perceived character (grapheme cluster) of the
// password, so an edit never splits a character and the password is always valid text.
class SecureFieldModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY passwordChanged)
    Q_PROPERTY(QString mask READ mask NOTIFY passwordChanged)
    Q_PROPERTY(int length READ length NOTIFY passwordChanged)

public:
    static constexpr QChar MaskCharacter = QChar(0x2022);

    explicit SecureFieldModel(QObject *parent = nullptr);

    QString password() const { return m_password; }
    void setPassword(const QString &password);
    QString mask() const { return QString(length(), MaskCharacter); }
    int length() const { return int(m_bounds.size()) - 1; }

    // Replaces the characters in [start, end) (in either order, clamped to the password) by
    // `text` without its control characters (line breaks, tabs…) and unpaired surrogates.
    // Returns where the cursor goes: just after the inserted text.
    Q_INVOKABLE int replace(int start, int end, const QString &text);
    // Replaces [start, end) by the clipboard's text.
    Q_INVOKABLE int paste(int start, int end);
    // The field's text changed by a road other than replace() (an input method committing, a
    // drop): takes the characters that are not mask characters into the password where they
    // stand, drops what was removed, and returns the cursor position. The caller then shows
    // the mask again.
    Q_INVOKABLE int absorb(const QString &shown);

signals:
    void passwordChanged();

private:
    // The offset in the password where the character at mask position `index` starts.
    int offsetOf(int index) const;

    QString m_password;
    // The offsets of the grapheme boundaries of the password, 0 and its size included.
    QList<int> m_bounds{0};
};
