#pragma once

#include <QByteArray>

namespace standin {

class StandInServer;

// A WAV file (44.1 kHz, stereo, 16 bit): `silenceSeconds` of silence, then a 1 kHz tone until
// `totalSeconds`. The tone's onset marks a known place in the audio.
QByteArray onsetWav(double silenceSeconds, double totalSeconds);

// Audio routes for the story render's tests:
//   GET /story/onset.wav?silence=<s>&seconds=<s>  onsetWav() with Range support
//   GET /story/page.html                          a web page, no audio in it
//   GET /story/stalled.mp3                        headers, then no byte ever
void installStoryAudioRoutes(StandInServer &server);

} // namespace standin
