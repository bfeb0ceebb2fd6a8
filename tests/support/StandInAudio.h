#pragma once

#include <QByteArray>
#include <QString>

namespace standin {

class StandInServer;

enum class AudioFormat { Mp3, Ogg, Opus, Flac, Aac };

// Real encoded audio for the stand-in backend: a sine tone (stereo, 44.1 kHz; MP3 at 128 kbit/s
// constant bit rate, Ogg Vorbis, Ogg Opus (48 kHz), FLAC or AAC in ADTS frames), made with
// GStreamer and cached per (format, frequency, length), so each clip is encoded once per
// process. Empty on failure.
QByteArray toneAudio(AudioFormat format, double frequencyHz, double seconds);

// The type a server gives the format's files.
QByteArray contentType(AudioFormat format);

// Writes such a tone to a local file (for file:// tests). False when it could not.
bool writeToneFile(const QString &path, AudioFormat format, double frequencyHz, double seconds);

// The tone of a track: a frequency that depends on its key (a genre or track id) and index.
double toneFrequency(const QString &key, int index = 0);

// How long the tracks of the audio routes are unless the request says otherwise (seconds).
inline constexpr double DefaultTrackSeconds = 12.0;
inline constexpr int LiveBytesPerSecond = 16000; // 128 kbit/s

// The audio routes, all with HTTP Range support except the live stream:
//   GET /stream/<genre>?track=<i>[&seconds=<s>]  MP3 tone of the rotation's track i
//   GET /audio/<id>.mp3[?seconds=<s>]            MP3 tone of one track
//   GET /audio/<id>.ogg[?seconds=<s>]            Ogg Vorbis tone of one track
//   GET /audio/<id>.opus, .flac, .aac            the same as Ogg Opus, FLAC, AAC (ADTS)
//   GET /live/<genre>                            endless MP3 stream, paced at its bit rate after
//                                                a short burst
// `seconds` is clamped to 0.1...600; without it a track lasts `trackSeconds` (soak runs ask for
// short ones). The common clips are encoded here, up front.
void installAudioRoutes(StandInServer &server, double trackSeconds = DefaultTrackSeconds);

} // namespace standin
