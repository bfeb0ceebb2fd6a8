#include "Platform/GStreamerStart.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// The decoder decodebin would plug for a parsed MP3 stream: the highest rank, then the name.
std::string firstMp3Decoder()
{
    GList *decoders = gst_element_factory_list_get_elements(
        GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO, GST_RANK_MARGINAL);
    GstCaps *mp3 = gst_caps_from_string("audio/mpeg, mpegversion=(int)1, layer=(int)3, parsed=(boolean)true, "
                                        "rate=(int)44100, channels=(int)2");
    GList *fitting = gst_element_factory_list_filter(decoders, mp3, GST_PAD_SINK, FALSE);
    fitting = g_list_sort(fitting, gst_plugin_feature_rank_compare_func);
    std::string name = fitting ? GST_OBJECT_NAME(fitting->data) : "";
    gst_plugin_feature_list_free(fitting);
    gst_plugin_feature_list_free(decoders);
    gst_caps_unref(mp3);
    return name;
}

struct Ranked {
    GstPluginFeature *feature = nullptr;
    guint rank = 0;
};

Ranked lookUp(const char *name)
{
    Ranked ranked{gst_registry_lookup_feature(gst_registry_get(), name), 0};
    if (ranked.feature)
        ranked.rank = gst_plugin_feature_get_rank(ranked.feature);
    return ranked;
}

} // namespace

TEST(GStreamerStart, PrefersMpg123ForMp3UnlessTheUserRankedTheDecoders)
{
    Ranked lean = lookUp("mpg123audiodec");
    Ranked libav = lookUp("avdec_mp3");
    if (!lean.feature || !libav.feature)
        GTEST_SKIP() << "needs both mpg123's and libav's MP3 decoders";
    const struct {
        const char *userRanks;
        const char *picked;
    } cases[] = {
        {nullptr, "mpg123audiodec"},
        {"fakeaudiosink:MAX", "mpg123audiodec"},
        {"avdec_mp3:MAX", "avdec_mp3"},
        {"mpg123audiodec:NONE,fakeaudiosink:MAX", "avdec_mp3"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.userRanks ? c.userRanks : "(none)");
        // Both as GStreamer would rank them by itself, then as the user's ranks left them.
        gst_plugin_feature_set_rank(lean.feature, GST_RANK_MARGINAL);
        gst_plugin_feature_set_rank(libav.feature, GST_RANK_MARGINAL);
        if (c.userRanks && std::string(c.userRanks).starts_with("avdec_mp3"))
            gst_plugin_feature_set_rank(libav.feature, GST_RANK_PRIMARY + 1);
        if (c.userRanks && std::string(c.userRanks).starts_with("mpg123audiodec"))
            gst_plugin_feature_set_rank(lean.feature, GST_RANK_NONE);
        GStreamerStart::preferLeanDecoders(c.userRanks);
        EXPECT_EQ(firstMp3Decoder(), c.picked);
    }
    gst_plugin_feature_set_rank(lean.feature, lean.rank);
    gst_plugin_feature_set_rank(libav.feature, libav.rank);
    gst_object_unref(lean.feature);
    gst_object_unref(libav.feature);
}
