#pragma once

#include <QString>

namespace Console {

// Writes one diagnostic line to standard output and flushes it, so that lines from the player,
// the equaliser tap and the story renderer keep their order with other output and reach a pipe
// at once. Safe to call from any thread.
void line(const QString &text);

} // namespace Console
