#pragma once

#include "Models/APIModels.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// What a story video is made of: the track's texts and artwork, two colours, its lyrics with the
// chosen range, where its audio comes from, and how long the video is. Built by the story sheet,
// passed by value to StoryVideoRenderer (and from there to the render thread).
struct StoryConfig
{
    QString title;                      // drawn as the heading of every frame
    QString artist;                     // drawn under the title
    QImage coverImage;                  // the artwork; a null image means no card and no blurred backdrop
    QColor themeColor;                  // backdrop gradient and glow
    QColor accentColor;                 // the translation line
    QList<LyricsLine> lines;            // the whole lyrics, in the order the sheet holds them
    int startLine = 0;                  // first line of the chosen range (index into `lines`)
    int endLine = 0;                    // last line of the chosen range
    std::optional<QUrl> audioURL;       // a downloaded file or a stream address; none: silent video
    std::optional<double> audioStart;   // seconds into the audio where the story starts
    double duration = 15;               // requested length in seconds; clamped to 3...60 where used
};
