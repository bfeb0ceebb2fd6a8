#pragma once

#include "Platform/PlayerItem.h"

#include <optional>

typedef struct _GstMessage GstMessage;
typedef struct _GError GError;

// What the pipeline's messages tell of a network stream: the server's answer (an HTTP source's
// "http-headers" message), how to read the stream, and what kind of failure an error is.
namespace stream_answer {

// What an HTTP source's "http-headers" message tells of the server's answer.
struct HttpAnswer {
    int status = 0;
    bool hasLength = false;
    bool ogg = false; // the server says it sends Ogg (Vorbis, Opus, FLAC in Ogg)
};

// Nothing unless the message is an "http-headers" message.
std::optional<HttpAnswer> httpAnswer(GstMessage *message);
// A good answer without a length: a stream without an end, such as a live radio station's.
bool isEndless(const HttpAnswer &answer);

// Through a ring buffer the Ogg demuxer reads in pull mode, looks for the stream's end to learn
// its length, and over a stream without one gives up ("EOS before finding a chain"). Other
// endless streams keep the buffer: without it an MP3 stream plays a second, runs its queue dry
// and pauses to buffer again.
bool readsWithoutRingBuffer(const HttpAnswer &answer);

// What the listener can be told of an error of the pipeline; `httpStatus` is the status of the
// item's answer, 0 without one.
PlayerItem::Failure failureOf(const GError *error, int httpStatus);

} // namespace stream_answer
