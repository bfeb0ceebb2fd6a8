#include "Platform/AppFont.h"

namespace AppFont {

QString family()
{
    return QStringLiteral("Noto Sans Arabic UI");
}

QStringList families()
{
    // The emoji font is named rather than left to the fallback search: a glyph no named family has
    // makes every font it is needed in try each installed family in turn, hundreds of them.
    return {family(), QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans"),
            QStringLiteral("Noto Color Emoji")};
}

QFont font(int pixelSize, int weight)
{
    QFont f;
    f.setFamilies(families());
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Weight(weight));
    return f;
}

} // namespace AppFont
