#include "Platform/GStreamerStart.h"

#include <gst/gst.h>

#include <clocale>
#include <string_view>
#include <thread>

namespace {

struct Starter {
    std::thread thread;
    void join()
    {
        if (thread.joinable())
            thread.join();
    }
    // Also on the way out of a launch that ends before it needs GStreamer.
    ~Starter() { join(); }
};

Starter &starter()
{
    static Starter instance;
    return instance;
}

bool hasGStreamerOptions(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--")
            return false;
        if (argument.starts_with("--gst-"))
            return true;
    }
    return false;
}

} // namespace

void GStreamerStart::begin(int &argc, char **argv)
{
    if (hasGStreamerOptions(argc, argv)) {
        gst_init(&argc, &argv);
        return;
    }
    std::setlocale(LC_ALL, "");
    starter().thread = std::thread([] { gst_init(nullptr, nullptr); });
}

void GStreamerStart::finish()
{
    starter().join();
}
