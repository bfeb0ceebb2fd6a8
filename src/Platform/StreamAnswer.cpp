#include "Platform/StreamAnswer.h"

#include <gst/gst.h>

namespace stream_answer {

std::optional<HttpAnswer> httpAnswer(GstMessage *message)
{
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ELEMENT)
        return std::nullopt;
    const GstStructure *structure = gst_message_get_structure(message);
    if (!structure || !gst_structure_has_name(structure, "http-headers"))
        return std::nullopt;
    HttpAnswer answer;
    guint status = 0;
    if (gst_structure_get_uint(structure, "http-status-code", &status))
        answer.status = int(status);
    const GValue *value = gst_structure_get_value(structure, "response-headers");
    if (value && G_VALUE_HOLDS(value, GST_TYPE_STRUCTURE)) {
        const GstStructure *headers = gst_value_get_structure(value);
        for (int i = 0; headers && i < gst_structure_n_fields(headers); ++i) {
            const char *name = gst_structure_nth_field_name(headers, i);
            if (g_ascii_strcasecmp(name, "Content-Length") == 0) {
                answer.hasLength = true;
            } else if (g_ascii_strcasecmp(name, "Content-Type") == 0) {
                const char *type = gst_structure_get_string(headers, name);
                answer.ogg = type && (g_strrstr(type, "ogg") || g_strrstr(type, "opus"));
            }
        }
    }
    return answer;
}

bool isEndless(const HttpAnswer &answer)
{
    return answer.status >= 200 && answer.status < 300 && !answer.hasLength;
}

bool readsWithoutRingBuffer(const HttpAnswer &answer)
{
    return isEndless(answer) && answer.ogg;
}

PlayerItem::Failure failureOf(const GError *error, int httpStatus)
{
    using Failure = PlayerItem::Failure;
    if (!error)
        return Failure::Other;
    const bool answered = httpStatus > 0;
    const bool errorAnswer = httpStatus >= 400;
    if (error->domain == GST_RESOURCE_ERROR) {
        switch (error->code) {
        case GST_RESOURCE_ERROR_NOT_FOUND:
            return Failure::NotFound;
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            return Failure::NotAllowed;
        default:
            break;
        }
    } else if (error->domain == GST_STREAM_ERROR) {
        switch (error->code) {
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        case GST_STREAM_ERROR_DECODE:
        case GST_STREAM_ERROR_DEMUX:
        case GST_STREAM_ERROR_FORMAT:
        case GST_STREAM_ERROR_NOT_IMPLEMENTED:
            // A server's error page is no audio either; what counts is the error it answered.
            if (!errorAnswer)
                return Failure::Unplayable;
            break;
        default:
            break;
        }
    } else if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_MISSING_PLUGIN) {
        return Failure::Unplayable;
    }
    if (httpStatus == 404 || httpStatus == 410)
        return Failure::NotFound;
    if (httpStatus == 401 || httpStatus == 403)
        return Failure::NotAllowed;
    if (errorAnswer)
        return Failure::ServerError;
    // A refused connection or an unknown host surfaces only as the source's stream error.
    return answered ? Failure::ConnectionLost : Failure::Unreachable;
}

} // namespace stream_answer
