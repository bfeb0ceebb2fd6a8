// Renders one story video without any screen, through StoryVideoRenderer, and prints the file it
// made. For checks by hand and for measuring:
//
//   bench_render_story [config.json]
//
// The config (every key optional; without a file a built-in demo story is rendered):
//   {"title": "...", "artist": "...", "cover": "/path/to/image", "theme": "#c84b6a", "accent": "#ff6b4a",
//    "lines": [{"time": 12.5, "text": "...", "translation": "..."}, ...], "start": 0, "end": 5,
//    "audio": "file:///... or http://...", "audioStart": 12.5, "duration": 15}
// The file lands in a folder of its own in the temporary folder (TMPDIR), as "story-final.mp4" (or
// "story-silent.mp4" when the audio could not be attached). A failed render prints why and exits
// with status 1.

#include "Services/StoryVideoRenderer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QCoroTask>
#include <gst/gst.h>

#include <cstdio>
#include <exception>

namespace {

StoryConfig demoConfig()
{
    StoryConfig config;
    config.title = QStringLiteral("شب‌های تهران");
    config.artist = QStringLiteral("آوا آسمان");
    QImage cover(800, 800, QImage::Format_RGB32);
    QPainter p(&cover);
    QLinearGradient g(0, 0, 800, 800);
    g.setColorAt(0, QColor(0xe0, 0x5a, 0x47));
    g.setColorAt(1, QColor(0x2b, 0x3a, 0x8f));
    p.fillRect(cover.rect(), g);
    p.end();
    config.coverImage = cover;
    config.themeColor = QColor(0xc8, 0x4b, 0x6a);
    config.accentColor = QColor(0xff, 0x6b, 0x4a);
    config.lines = {LyricsLine{10.0, QStringLiteral("امشب رادیو آهنگ ما را می‌خواند"), QStringLiteral("The radio sings our song tonight")},
                    LyricsLine{13.0, QStringLiteral("هر کلمه یک چراغ کوچک"), std::nullopt},
                    LyricsLine{16.0, QStringLiteral("ترجیع‌بند را نزدیک نگه دار"), QStringLiteral("Hold the chorus near")},
                    LyricsLine{19.0, QStringLiteral("بخوان تا ستاره‌ها بشنوند"), std::nullopt}};
    config.startLine = 0;
    config.endLine = 3;
    config.duration = 12;
    return config;
}

StoryConfig readConfig(const QString &path)
{
    StoryConfig config = demoConfig();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1 << 20) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(2);
    }
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    if (o.contains(QStringLiteral("title")))
        config.title = o.value(QStringLiteral("title")).toString();
    if (o.contains(QStringLiteral("artist")))
        config.artist = o.value(QStringLiteral("artist")).toString();
    if (o.contains(QStringLiteral("cover")))
        config.coverImage = QImage(o.value(QStringLiteral("cover")).toString());
    if (o.contains(QStringLiteral("theme")))
        config.themeColor = QColor(o.value(QStringLiteral("theme")).toString());
    if (o.contains(QStringLiteral("accent")))
        config.accentColor = QColor(o.value(QStringLiteral("accent")).toString());
    if (o.contains(QStringLiteral("lines"))) {
        config.lines.clear();
        for (const QJsonValue &v : o.value(QStringLiteral("lines")).toArray())
            config.lines.append(LyricsLine::fromJson(v));
    }
    config.startLine = o.value(QStringLiteral("start")).toInt(config.startLine);
    config.endLine = o.value(QStringLiteral("end")).toInt(config.endLine);
    if (o.contains(QStringLiteral("audio")))
        config.audioURL = QUrl(o.value(QStringLiteral("audio")).toString());
    if (o.contains(QStringLiteral("audioStart")))
        config.audioStart = o.value(QStringLiteral("audioStart")).toDouble();
    config.duration = o.value(QStringLiteral("duration")).toDouble(config.duration);
    return config;
}

// What a render ended with. QCoro::waitFor never returns from a task that throws, so the task's
// outcome is caught inside a coroutine of its own.
struct Outcome {
    QUrl file;
    std::exception_ptr error;
};

QCoro::Task<Outcome> renderCaught(StoryConfig config)
{
    Outcome outcome;
    // Named, not temporary: g++ 12 mishandles temporaries that live across a co_await.
    StoryVideoRenderer::Progress progress = [](double value) { std::fprintf(stderr, "\rprogress %5.1f %%", value * 100); };
    try {
        QCoro::Task<QUrl> rendering = StoryVideoRenderer::render(std::move(config), std::move(progress));
        outcome.file = co_await std::move(rendering);
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    QGuiApplication app(argc, argv);
    const StoryConfig config = argc > 1 ? readConfig(QString::fromLocal8Bit(argv[1])) : demoConfig();
    if (config.lines.isEmpty()) {
        std::fprintf(stderr, "the story needs at least one lyric line\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    const Outcome outcome = QCoro::waitFor(renderCaught(config));
    std::fprintf(stderr, "\n");
    if (!outcome.error) {
        std::printf("%s\n%.2f s\n", qPrintable(outcome.file.toLocalFile()), double(clock.elapsed()) / 1000);
        return 0;
    }
    try {
        std::rethrow_exception(outcome.error);
    } catch (const StoryError &error) {
        std::fprintf(stderr, "render failed (%s %d): %s\n", qPrintable(error.domain()), error.code(),
                     qPrintable(error.errorDescription()));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "render failed: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "render failed\n");
    }
    return 1;
}
