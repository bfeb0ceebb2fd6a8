#pragma once

#include "Platform/AppFont.h"

#include <QColor>
#include <QFont>
#include <QJSEngine>
#include <QQmlEngine>
#include <QObject>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

// The look every screen shares: the two application colours, a dark palette of the system colours
// the screens name (red, purple, ...), and the system text styles as pixel sizes and weights.
// Screens reach it from QML as the singleton `Theme`:
//     color: Theme.accent
//     font: Theme.footnote                                   // a text style
//     font: Theme.withWeight(Theme.footnote, Font.DemiBold)  // the style in another weight
//     font: Theme.font(26, Font.DemiBold)                    // "the system font of size 26, semibold"
// (QML refuses `font: Theme.footnote` together with `font.weight: ...` on one item.)
// C++ reads the same values through the static accessors (RadioPlayer starts its theme colour
// from Theme::accent()).
class Theme : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Application colours.
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QColor background READ background CONSTANT)
    // System colours in the dark scheme.
    Q_PROPERTY(QColor label READ label CONSTANT)
    Q_PROPERTY(QColor secondaryLabel READ secondaryLabel CONSTANT)
    Q_PROPERTY(QColor tertiaryLabel READ tertiaryLabel CONSTANT)
    Q_PROPERTY(QColor separator READ separator CONSTANT)
    Q_PROPERTY(QColor secondaryBackground READ secondaryBackground CONSTANT)
    Q_PROPERTY(QColor tertiaryBackground READ tertiaryBackground CONSTANT)
    Q_PROPERTY(QColor red READ red CONSTANT)
    Q_PROPERTY(QColor orange READ orange CONSTANT)
    Q_PROPERTY(QColor yellow READ yellow CONSTANT)
    Q_PROPERTY(QColor green READ green CONSTANT)
    Q_PROPERTY(QColor blue READ blue CONSTANT)
    Q_PROPERTY(QColor purple READ purple CONSTANT)
    Q_PROPERTY(QColor pink READ pink CONSTANT)
    Q_PROPERTY(QColor gray READ gray CONSTANT)
    // Text styles.
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QFont largeTitle READ largeTitle CONSTANT)
    Q_PROPERTY(QFont title READ title CONSTANT)
    Q_PROPERTY(QFont title2 READ title2 CONSTANT)
    Q_PROPERTY(QFont title3 READ title3 CONSTANT)
    Q_PROPERTY(QFont headline READ headline CONSTANT)
    Q_PROPERTY(QFont body READ body CONSTANT)
    Q_PROPERTY(QFont callout READ callout CONSTANT)
    Q_PROPERTY(QFont subheadline READ subheadline CONSTANT)
    Q_PROPERTY(QFont footnote READ footnote CONSTANT)
    Q_PROPERTY(QFont caption READ caption CONSTANT)
    Q_PROPERTY(QFont caption2 READ caption2 CONSTANT)

public:
    static Theme &shared();
    // The engine's instance is the shared one, which the engine does not own.
    static Theme *create(QQmlEngine *, QJSEngine *)
    {
        QJSEngine::setObjectOwnership(&shared(), QJSEngine::CppOwnership);
        return &shared();
    }

    static QColor accent();
    static QColor background();

    static QColor label() { return Qt::white; }
    static QColor secondaryLabel() { return QColor::fromRgbF(1, 1, 1, 0.6f); }
    static QColor tertiaryLabel() { return QColor::fromRgbF(1, 1, 1, 0.3f); }
    static QColor separator() { return QColor::fromRgbF(1, 1, 1, 0.12f); }
    static QColor secondaryBackground() { return QColor(0x1c, 0x1c, 0x1e); }
    static QColor tertiaryBackground() { return QColor(0x2c, 0x2c, 0x2e); }
    static QColor red() { return QColor(0xff, 0x45, 0x3a); }
    static QColor orange() { return QColor(0xff, 0x9f, 0x0a); }
    static QColor yellow() { return QColor(0xff, 0xd6, 0x0a); }
    static QColor green() { return QColor(0x30, 0xd1, 0x58); }
    static QColor blue() { return QColor(0x0a, 0x84, 0xff); }
    static QColor purple() { return QColor(0xbf, 0x5a, 0xf2); }
    static QColor pink() { return QColor(0xff, 0x37, 0x5f); }
    static QColor gray() { return QColor(0x8e, 0x8e, 0x93); }

    // The application's typeface (Platform/AppFont.h).
    static QString fontFamily() { return AppFont::family(); }
    static QStringList fontFamilies() { return AppFont::families(); }
    // A font of the application's families at a pixel size and weight ("the system font of size 26,
    // weight semibold" is Theme::font(26, QFont::DemiBold)).
    Q_INVOKABLE static QFont font(int pixelSize, int weight = QFont::Normal)
    {
        return AppFont::font(pixelSize, weight);
    }
    // A text style in another weight.
    Q_INVOKABLE static QFont withWeight(QFont style, int weight);

    static QFont largeTitle() { return font(34); }
    static QFont title() { return font(28); }
    static QFont title2() { return font(22); }
    static QFont title3() { return font(20); }
    static QFont headline() { return font(17, QFont::DemiBold); }
    static QFont body() { return font(17); }
    static QFont callout() { return font(16); }
    static QFont subheadline() { return font(15); }
    static QFont footnote() { return font(13); }
    static QFont caption() { return font(12); }
    static QFont caption2() { return font(11); }

private:
    Theme() = default;
};
