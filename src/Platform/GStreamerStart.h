#pragma once

// Starts GStreamer on a thread of its own while the application object is made: reading its
// plugin registry is the longest single step before the first frame, and neither the window
// system, the fonts nor the screens need it; the stores, made after, do.
//
// The thread only reads the environment and the locale, so begin() comes after every change the
// start makes to them (and sets the locale itself, as the application object would, before the
// thread runs). A launch given GStreamer's own options (--gst-…) starts it at once instead, with
// them, exactly as gst_init() on the command line does.
namespace GStreamerStart {

// Before the application object exists.
void begin(int &argc, char **argv);

// Returns once GStreamer is ready; call before anything uses it. Later calls return at once.
void finish();

// After gst_init (begin() calls it): where GStreamer ranks libav's MP3 decoder and mpg123's
// alike, it picks libav's by its name; mpg123's decodes in half the time and spares the process
// libav's libraries and all they load (some 30 MB resident). Nothing changes where `userRanks`
// (GST_PLUGIN_FEATURE_RANK's value) ranks either decoder itself, or where mpg123's is missing.
void preferLeanDecoders(const char *userRanks);

} // namespace GStreamerStart
