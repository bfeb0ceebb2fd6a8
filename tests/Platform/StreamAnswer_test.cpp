#include "Platform/StreamAnswer.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

using Failure = PlayerItem::Failure;
using namespace stream_answer;

namespace {

// An HTTP source's message about the answer, with these response headers.
GstMessage *headersMessage(guint status, std::initializer_list<std::pair<const char *, const char *>> headers)
{
    GstStructure *response = gst_structure_new_empty("response-headers");
    for (const auto &[name, value] : headers)
        gst_structure_set(response, name, G_TYPE_STRING, value, nullptr);
    GstStructure *s = gst_structure_new("http-headers", "http-status-code", G_TYPE_UINT, status, "response-headers",
                                        GST_TYPE_STRUCTURE, response, nullptr);
    gst_structure_free(response);
    return gst_message_new_element(nullptr, s);
}

} // namespace

TEST(StreamAnswer, TheServersAnswerChoosesHowTheStreamIsRead)
{
    const struct {
        const char *what;
        guint status;
        std::initializer_list<std::pair<const char *, const char *>> headers;
        bool endless, plain;
    } rows[] = {
        {"a file", 200, {{"Content-Length", "48000"}, {"Content-Type", "audio/ogg"}}, false, false},
        {"a live MP3 station", 200, {{"Content-Type", "audio/mpeg"}, {"icy-metaint", "16000"}}, true, false},
        {"a live Ogg station", 200, {{"Content-Type", "audio/ogg"}}, true, true},
        {"a live Opus station, lower-case", 200, {{"content-type", "audio/opus"}}, true, true},
        {"an error page", 404, {{"Content-Type", "text/html"}}, false, false},
    };
    for (const auto &row : rows) {
        GstMessage *message = headersMessage(row.status, row.headers);
        const std::optional<HttpAnswer> answer = httpAnswer(message);
        gst_message_unref(message);
        ASSERT_TRUE(answer) << row.what;
        EXPECT_EQ(answer->status, int(row.status)) << row.what;
        EXPECT_EQ(isEndless(*answer), row.endless) << row.what;
        EXPECT_EQ(readsWithoutRingBuffer(*answer), row.plain) << row.what;
    }
    GstMessage *other = gst_message_new_element(nullptr, gst_structure_new_empty("something-else"));
    EXPECT_FALSE(httpAnswer(other));
    gst_message_unref(other);
}

TEST(StreamAnswer, AnErrorSaysWhetherTryingAgainMayHelp)
{
    const struct {
        GQuark domain;
        int code;
        int httpStatus;
        Failure failure;
    } rows[] = {
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, 404, Failure::NotFound},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_AUTHORIZED, 403, Failure::NotAllowed},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, 503, Failure::ServerError},
        // A refused connection: only the source's stream error, and no answer.
        {GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, 0, Failure::Unreachable},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, 0, Failure::Unreachable},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, 200, Failure::ConnectionLost},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, 200, Failure::Unplayable},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_TYPE_NOT_FOUND, 200, Failure::Unplayable},
        // A server's error page is no audio either: the answer counts.
        {GST_STREAM_ERROR, GST_STREAM_ERROR_TYPE_NOT_FOUND, 404, Failure::NotFound},
        {GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN, 200, Failure::Unplayable},
    };
    for (const auto &row : rows) {
        GError *error = g_error_new_literal(row.domain, row.code, "x");
        EXPECT_EQ(failureOf(error, row.httpStatus), row.failure) << g_quark_to_string(row.domain) << " " << row.code;
        g_error_free(error);
    }
    EXPECT_EQ(failureOf(nullptr, 0), Failure::Other);
}
