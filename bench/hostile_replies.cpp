// The work that the stand-in's hostile replies under the byte caps can still ask for, bounded:
//   - a lyrics reply whose one line holds 1.9 million Persian letters (3.8 MB): decoding it and
//     laying out the line as a view would. Target: decode plus layout well under 100 ms, the
//     longest pause the GUI thread may take (the uncut line took minutes).
//   - a 20 KB GIF of 5000 x 5000 and a 5600 x 5600 JPEG, decoded for a 768-pixel picture. Target:
//     the GIF is refused from its header (no 100 MB decode), the JPEG decodes at 1/8 a side.
// decoded_MB is the size of the picture that comes out.
#include "Models/APIModels.h"
#include "Services/ArtworkFile.h"
#include "support/HostileRoutes.h"

#include <QGuiApplication>
#include <QImage>
#include <QTextLayout>
#include <benchmark/benchmark.h>

namespace {

using standin::giantGif;
using standin::giantJpeg;

void LongLyricsLineDecodedAndLaidOut(benchmark::State &state)
{
    const QByteArray reply = standin::longLineLyrics().body;
    for (auto _ : state) {
        const LyricsEnvelope envelope = json::decode<LyricsEnvelope>(reply);
        QTextLayout layout(envelope.data->lines->first().text.value_or(QString()));
        layout.beginLayout();
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(360);
        }
        layout.endLayout();
        benchmark::DoNotOptimize(layout.boundingRect());
    }
    state.counters["reply_MB"] = double(reply.size()) / 1e6;
}
BENCHMARK(LongLyricsLineDecodedAndLaidOut)->Unit(benchmark::kMillisecond);

// The GIF is refused from its header, the JPEG decodes at 1/8 a side.
void GiantPictureDecodedFor768(benchmark::State &state, QByteArray (*picture)())
{
    const QByteArray bytes = picture();
    QImage image;
    for (auto _ : state)
        image = artwork::decodeScaled(bytes, 768);
    state.counters["file_KB"] = double(bytes.size()) / 1024;
    state.counters["decoded_MB"] = double(image.sizeInBytes()) / 1e6;
}
BENCHMARK_CAPTURE(GiantPictureDecodedFor768, gif_5000, &giantGif)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiantPictureDecodedFor768, jpeg_5600, &giantJpeg)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the text layout
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
