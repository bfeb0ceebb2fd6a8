#pragma once

#include "Models/Station.h"

#include <QList>

// Copies a decoded catalogue into storage of its own, for a list that is kept for long.
// Every text is copied afresh and every list gets exactly its length, so the copy sits together
// on the heap instead of scattered among the parser's freed blocks (which then go back to the
// system whole). Texts that repeat across a catalogue (names, artists, categories, track types
// and titles) are held once and shared by every record that has them. Values are unchanged.
QList<Station> compactStations(const QList<Station> &stations);
