#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// The one table from the system symbol names the screens use ("play.fill", "music.note.list", ...)
// to glyphs of the Material Icons font. SymbolImage.qml draws through it; a test fails when a
// .qml file under src/ names a symbol that is missing here. To add a symbol, add one row to the
// table in Symbols.cpp (the codepoint is the glyph's entry in the Material Icons font).
class Symbols : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QStringList names READ names CONSTANT)

public:
    explicit Symbols(QObject *parent = nullptr) : QObject(parent) {}

    static const QHash<QString, char16_t> &table();
    static QStringList names();
    static bool contains(const QString &name) { return table().contains(name); }

    // Where the icon font is installed (Debian's fonts-material-design-icons-iconfont).
    static QString fontPath();
    // The icon font's family, loaded from fontPath() on first use.
    static QString fontFamily();

    // The glyph text of a symbol; an unknown name gives an empty text and a warning.
    Q_INVOKABLE QString glyph(const QString &name) const;
};
