#include "Platform/GStreamerStart.h"

#include <gst/gst.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
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

void initialise(int *argc, char ***argv)
{
    gst_init(argc, argv);
    GStreamerStart::preferLeanDecoders(std::getenv("GST_PLUGIN_FEATURE_RANK"));
}

} // namespace

void GStreamerStart::preferLeanDecoders(const char *userRanks)
{
    constexpr const char *Lean = "mpg123audiodec";
    constexpr const char *Others[] = {"avdec_mp3", "avdec_mp3float"};
    const std::string_view ranks(userRanks ? userRanks : "");
    if (ranks.find(Lean) != std::string_view::npos || ranks.find("avdec_mp3") != std::string_view::npos)
        return;
    GstRegistry *registry = gst_registry_get();
    GstPluginFeature *lean = gst_registry_lookup_feature(registry, Lean);
    if (!lean)
        return;
    guint highest = 0;
    for (const char *name : Others) {
        if (GstPluginFeature *other = gst_registry_lookup_feature(registry, name)) {
            highest = std::max(highest, gst_plugin_feature_get_rank(other));
            gst_object_unref(other);
        }
    }
    if (gst_plugin_feature_get_rank(lean) <= highest)
        gst_plugin_feature_set_rank(lean, highest + 1);
    gst_object_unref(lean);
}

void GStreamerStart::begin(int &argc, char **argv)
{
    if (hasGStreamerOptions(argc, argv)) {
        initialise(&argc, &argv);
        return;
    }
    std::setlocale(LC_ALL, "");
    starter().thread = std::thread([] { initialise(nullptr, nullptr); });
}

void GStreamerStart::finish()
{
    starter().join();
}
