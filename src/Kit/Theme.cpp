#include "Kit/Theme.h"

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

QFont Theme::withWeight(QFont style, int weight)
{
    style.setWeight(QFont::Weight(weight));
    return style;
}
