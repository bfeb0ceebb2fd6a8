#include "Platform/Theme.h"

Theme &Theme::shared()
{
    static Theme *theme = new Theme; // lives until the process ends, like every store
    return *theme;
}

QColor Theme::accent()
{
    static const QColor colour = QColor::fromRgbF(0.39f, 0.40f, 0.95f);
    return colour;
}

QColor Theme::background()
{
    static const QColor colour = QColor::fromRgbF(0.043f, 0.043f, 0.051f);
    return colour;
}

QStringList Theme::fontFamilies()
{
    // The emoji font is named rather than left to the fallback search: a glyph no named family has
    // makes every font it is needed in try each installed family in turn, hundreds of them.
    return {fontFamily(), QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans"),
            QStringLiteral("Noto Color Emoji")};
}

QFont Theme::font(int pixelSize, int weight)
{
    QFont f;
    f.setFamilies(fontFamilies());
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

QFont Theme::withWeight(QFont style, int weight)
{
    style.setWeight(QFont::Weight(weight));
    return style;
}
