#include <gst/gst.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

// melodrift-recorder: one recording, in a process of its own, started by the application
// (AudioRecorder) so that a source that never opens (a microphone or sound server that does not
// answer, a pipe nobody writes into) holds nothing of the application's: it ends the process.
//     melodrift-recorder <rate> <channels> <bit rate> <source description>
// It records from the source into the file open as descriptor 3, as MPEG-4 audio (AAC):
//     <source> ! identity sync=true ! audioconvert ! audioresample ! <rate, channels>
//              ! avenc_aac ! mp4mux ! fdsink
// and tells the application how it goes on its standard output, one line each: "ready" once the
// pipeline is built (the source is opened next), "started" once the source plays, "finished" once
// the file is whole, or "failed <why>". A line "stop" on its
// standard input ends the recording (the muxer then writes the file's index); the end of its
// input (the application gone, or giving up) ends the process at once.

namespace {

int g_report = -1; // the standard output the application reads; all else goes to standard error

void report(const std::string &line)
{
    std::string text;
    for (const char c : line)
        text += c == '\n' || c == '\r' ? ' ' : c;
    text += '\n';
    for (size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(g_report, text.data() + written, text.size() - written);
        if (n <= 0)
            std::_Exit(2); // nobody reads any more
        written += size_t(n);
    }
}

std::string describe(GstMessage *message)
{
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    std::string text = error ? error->message : "unknown error";
    if (debug)
        text += std::string(" (") + debug + ")";
    if (error)
        g_error_free(error);
    g_free(debug);
    return text;
}

std::string errorOf(GstBus *bus)
{
    GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    if (!message)
        return "the source does not start";
    std::string text = describe(message);
    gst_message_unref(message);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    g_report = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 10);
    if (g_report < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 2;
    if (argc != 5) {
        report("failed usage: melodrift-recorder <rate> <channels> <bit rate> <source>");
        return 2;
    }
    const int rate = std::atoi(argv[1]);
    const int channels = std::atoi(argv[2]);
    const int bitRate = std::atoi(argv[3]);
    gst_init(nullptr, nullptr);

    // The source comes first so that its description may hold a whole chain ("filesrc ! decodebin").
    const std::string description = std::string(argv[4])
        + " ! identity sync=true ! audioconvert ! audioresample ! capsfilter caps=\"audio/x-raw,rate="
        + std::to_string(rate) + ",channels=" + std::to_string(channels) + "\" ! avenc_aac bitrate="
        + std::to_string(bitRate) + " ! mp4mux ! fdsink fd=3";
    GError *parseError = nullptr;
    GstElement *pipeline =
        gst_parse_launch_full(description.c_str(), nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &parseError);
    if (!pipeline || parseError) {
        report(std::string("failed cannot build the recording pipeline: ")
               + (parseError ? parseError->message : "unknown"));
        return 1;
    }

    // The application's lines, read beside whatever the pipeline blocks in.
    std::thread([pipeline] {
        std::string line;
        char c = 0;
        for (;;) {
            const ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n <= 0)
                std::_Exit(2); // the application has gone, or gave up on this recording
            if (c != '\n') {
                line += c;
                continue;
            }
            if (line == "stop")
                gst_element_send_event(pipeline, gst_event_new_eos());
            line.clear();
        }
    }).detach();

    report("ready");
    GstBus *bus = gst_element_get_bus(pipeline);
    // A live source opens its device on the way to PLAYING, for as long as it takes: the
    // application decides how long that may be.
    GstStateChangeReturn started = gst_element_set_state(pipeline, GST_STATE_PLAYING);
    if (started == GST_STATE_CHANGE_ASYNC)
        started = gst_element_get_state(pipeline, nullptr, nullptr, GST_CLOCK_TIME_NONE);
    if (started == GST_STATE_CHANGE_FAILURE) {
        report("failed " + errorOf(bus));
        std::_Exit(1);
    }
    report("started");

    GstMessage *message = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool finished = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    const std::string failure = message && !finished ? describe(message) : std::string("no end of the recording");
    if (message)
        gst_message_unref(message);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    report(finished ? std::string("finished") : "failed " + failure);
    std::_Exit(finished ? 0 : 1);
}
