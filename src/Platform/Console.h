#pragma once

#include <QString>

namespace Console {

// Writes one diagnostic line to standard output and flushes it, so that lines from the player,
// the equaliser tap and the story renderer keep their order with other output and reach a pipe
// at once. Safe to call from any thread. Control characters in the text (escape sequences,
// carriage returns, line feeds, NUL, ...) are written escaped (safeText()), so text that came
// from a server can neither start a line of its own nor drive the terminal.
void line(const QString &text);

// `text` with every control character written as an escape: "\n", "\r", "\t", else "\xNN" (C0,
// DEL) or "\u{NNNN}" (C1 controls and the Unicode line and paragraph separators).
QString safeText(const QString &text);

} // namespace Console
