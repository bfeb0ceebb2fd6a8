#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

// The application's typeface, for everything that draws text: the screens (through Theme) and the
// story renderer, which draws its frames without a screen.
namespace AppFont {

// Persian text is set in Noto Sans Arabic, in its UI cut: the same glyphs with compact line
// metrics (the plain cut's lines are 2.1 em high, which would make every text box nearly twice
// as tall as the screens are laid out for). Without the UI cut the plain one is used; Latin
// letters, which both lack, fall back to Noto Sans, and emoji (the greeting's, a station's name)
// to Noto Color Emoji.
QString family();
QStringList families();
// A font of the application's families at a pixel size and weight.
QFont font(int pixelSize, int weight = QFont::Normal);

} // namespace AppFont
