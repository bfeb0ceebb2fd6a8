// The story sheet's range menu over very long lyrics, in a real Qt Quick window (offscreen): how
// long the GUI thread stops when the lines arrive and when the menu opens, and what the process
// grows by. Targets for 30,000 lines (2.7 MB of lyrics): each pause ≤ 100 ms, growth ≤ 50 MB.
#include "StoryLineItems.h"
#include "support/QuickHost.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

QList<LyricsLine> makeLines(int count)
{
    QList<LyricsLine> lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines.append(LyricsLine{i * 2.5, QStringLiteral("سطر %1 از ترانهٔ شب، با کمی بیشتر از بیست و شش حرف").arg(i + 1),
                                QStringLiteral("line %1 of the night song").arg(i + 1)});
    return lines;
}

int countNamed(QQuickItem *root, const QString &name)
{
    int n = 0;
    for (QQuickItem *child : root->childItems())
        n += (child->objectName() == name ? 1 : 0) + countNamed(child, name);
    return n;
}

void BM_StoryRangeMenu(benchmark::State &state)
{
    const int count = int(state.range(0));
    auto engine = quickhost::makeEngine();
    quickhost::HostedScreen hosted = quickhost::HostedScreen::loadText(
        *engine, "import QtQuick\nimport Melodrift\n"
                 "Item { StoryRangeMenu { objectName: \"menu\"; title: \"از خط\"; label: \"#1\" } }");
    if (!hosted.isValid()) {
        state.SkipWithError(qPrintable(hosted.error()));
        return;
    }
    QQuickItem *menu = hosted.screen()->findChild<QQuickItem *>(QStringLiteral("menu"));
    StoryLineItems items;
    menu->setProperty("items", QVariant::fromValue(&items));
    menu->setProperty("current", count / 2);
    quickhost::settle(50);
    const double before = quickhost::residentMegabytes();

    // The lines arrive (the lyrics reply is decoded off the GUI thread; this is the hand-over).
    QElapsedTimer arrival;
    arrival.start();
    items.setLines(makeLines(count));
    QCoreApplication::processEvents();
    const double arrivalMs = double(arrival.nsecsElapsed()) / 1e6;

    QQuickItem *root = hosted.window()->contentItem();
    double delegates = 0;
    for (auto _ : state) {
        QElapsedTimer opening;
        opening.start();
        QMetaObject::invokeMethod(menu, "clicked");
        while (!menu->property("menuOpen").toBool() || countNamed(root, QStringLiteral("lineItem")) == 0)
            QCoreApplication::processEvents();
        state.SetIterationTime(double(opening.nsecsElapsed()) / 1e9);
        delegates = countNamed(root, QStringLiteral("lineItem"));
        QMetaObject::invokeMethod(menu, "choose", Q_ARG(QVariant, count - 1));
        quickhost::waitFor([&] { return !menu->property("menuOpen").toBool(); });
    }
    state.counters["lines_arrive_ms"] = arrivalMs;
    state.counters["delegates"] = delegates;
    state.counters["rss_growth_mb"] = quickhost::residentMegabytes() - before;
}
BENCHMARK(BM_StoryRangeMenu)->Arg(3'000)->Arg(30'000)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
