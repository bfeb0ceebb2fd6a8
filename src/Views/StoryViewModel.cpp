#include "StoryViewModel.h"

#include "Platform/PhotoLibrary.h"
#include "Kit/Theme.h"
#include "Platform/WorkerTask.h"
#include "Services/APIClient.h"
#include "Services/ArtworkFile.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"
#include "Services/StoryVideoRenderer.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTextBoundaryFinder>
#include <QCoroNetworkReply>

#include <algorithm>
#include <tuple>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

constexpr int CoverTimeoutMs = 30'000;
// Artwork is decoded at most this large; real covers are smaller and keep their size.
constexpr int CoverMaxSide = 2048;
constexpr int MenuTextGraphemes = 26;

// The first `count` user-perceived characters of `text`, or all of it when it has no more.
std::optional<QString> graphemePrefix(const QString &text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int seen = 0;
    qsizetype cut = 0;
    while (seen < count) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return std::nullopt; // fewer than `count`
        cut = next;
        ++seen;
    }
    if (finder.toNextBoundary() < 0)
        return std::nullopt; // exactly `count`
    return text.left(cut);
}

} // namespace

StoryViewModel::StoryViewModel(QObject *parent)
    : StoryViewModel(RadioPlayer::shared(), OfflineStore::shared(), &APIClient::shared(), parent)
{
}

StoryViewModel::StoryViewModel(RadioPlayer *player, OfflineStore *offline, APIClient *client, QObject *parent)
    : QObject(parent), m_player(player), m_offline(offline), m_client(client), m_lineItems(new StoryLineItems(this))
{
}

StoryViewModel::~StoryViewModel()
{
    close();
}

void StoryViewModel::setStationValue(const QVariant &value)
{
    if (const auto station = Station::fromVariant(value)) {
        m_station = *station;
        emit stationChanged();
    }
}

QObject *StoryViewModel::previewPlayer() const
{
    if (!m_preview) {
        auto *self = const_cast<StoryViewModel *>(this);
        self->m_preview = new QMediaPlayer(self);
        // The preview is heard as well as seen, through the desktop's default output.
        self->m_preview->setAudioOutput(new QAudioOutput(self->m_preview));
    }
    return m_preview;
}

QList<LyricsLine> StoryViewModel::lines() const
{
    return m_lyrics && m_lyrics->lines ? *m_lyrics->lines : QList<LyricsLine>();
}

StoryViewModel::Content StoryViewModel::content() const
{
    if (m_loadFailed)
        return Content::Failure;
    if (m_lyrics && m_lyrics->found.value_or(false) && !lines().isEmpty())
        return Content::Picker;
    return Content::NoLyrics;
}

// ------------------------------------------------------------------ rules

QList<LyricsLine> StoryViewModel::sortedLines(QList<LyricsLine> lines)
{
    // Positions are sorted, not the lines themselves: stable, by time, a line without one at 0.
    std::vector<qsizetype> order(size_t(lines.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&lines](qsizetype a, qsizetype b) {
        return lines.at(a).time.value_or(0) < lines.at(b).time.value_or(0);
    });
    QList<LyricsLine> sorted;
    sorted.reserve(lines.size());
    for (qsizetype i : order)
        sorted.append(lines.at(i));
    return sorted;
}

std::pair<int, int> StoryViewModel::initialRange(qsizetype lineCount)
{
    return {0, int(std::min<qsizetype>(lineCount, 6)) - 1};
}

QString StoryViewModel::menuItemText(const QList<LyricsLine> &lines, int index)
{
    const QString text = index >= 0 && index < lines.size() ? lines.at(index).text.value_or(QString()) : QString();
    const auto cut = graphemePrefix(text, MenuTextGraphemes);
    return QString::number(index + 1) + QStringLiteral(". ") + (cut ? *cut + QStringLiteral("…") : text);
}

QString StoryViewModel::numberText(const QList<LyricsLine> &lines, int index)
{
    if (lines.isEmpty())
        return {};
    const QString text = index >= 0 && index < lines.size() ? lines.at(index).text.value_or(QString()) : QString();
    return QStringLiteral("#") + QString::number(index + 1) + QStringLiteral(" — ") + text;
}

double StoryViewModel::smartDuration(const QList<LyricsLine> &lines, int startLine, int endLine)
{
    const int a = std::min(startLine, endLine);
    const int b = std::max(startLine, endLine);
    const qsizetype n = lines.size();
    if (a < 0 || a >= n || b < 0 || b >= n || !lines.at(a).time || !lines.at(b).time)
        return 15;
    const double ta = *lines.at(a).time;
    const double tb = *lines.at(b).time;
    if (!(ta < tb))
        return 15;
    return std::clamp(tb - ta + 1, 3.0, 60.0);
}

QString StoryViewModel::durationText(double seconds)
{
    // Halves round up: printf's "%.0f" rounds them to even, so 14.5 s would read 14.
    return QStringLiteral("مدت ویدیو: %1 ثانیه").arg(std::llround(seconds));
}

QString StoryViewModel::progressText(double progress)
{
    return QString::number(int(std::trunc(progress * 100))) + QStringLiteral("٪");
}

StoryConfig StoryViewModel::makeConfig(QImage cover) const
{
    StoryConfig config;
    config.title = m_station.displayTrackTitle();
    config.artist = m_station.displayArtist().isEmpty() ? m_station.displayName() : m_station.displayArtist();
    config.coverImage = std::move(cover);
    config.themeColor = m_player->themeColor();
    config.accentColor = Theme::accent();
    config.lines = lines();
    config.startLine = m_startLine;
    config.endLine = m_endLine;
    config.duration = smartDuration(config.lines, m_startLine, m_endLine);
    // Audio only for a station with a track list (a live stream has neither audio nor start).
    if (m_station.hasTracks()) {
        const PlaylistTrack *track = m_station.currentTrack();
        if (track && m_offline->isDownloaded(*track))
            config.audioURL = m_offline->audioURL(*track); // none when the file has gone: no stream instead
        else
            config.audioURL = m_client->absolute(m_station.currentStreamURL());
        const QList<LyricsLine> &all = config.lines;
        if (m_startLine >= 0 && m_startLine < all.size() && all.at(m_startLine).time)
            config.audioStart = *all.at(m_startLine).time;
        else if (m_lyrics && m_lyrics->elapsedSeconds)
            config.audioStart = std::max(*m_lyrics->elapsedSeconds, 0.0);
    }
    return config;
}

// ------------------------------------------------------------------ loading

void StoryViewModel::load()
{
    loadLyrics();
}

QCoro::Task<> StoryViewModel::loadLyrics()
{
    QPointer<StoryViewModel> self(this);
    setLyrics(std::nullopt, false);
    setSaved(false);
    setVideoURL({});
    const Station station = m_station;
    const PlaylistTrack *track = station.currentTrack();
    const double d = track && track->duration ? double(*track->duration) : 0;
    std::optional<LyricsData> data;
    bool failed = false;
    // Arguments as named values: g++ 12 mishandles temporaries that live across a co_await.
    const QString title = station.displayTrackTitle();
    const QString artist = station.displayArtist();
    try {
        QCoro::Task<LyricsEnvelope> request = m_client->lyrics(station.genre, title, artist, d);
        const LyricsEnvelope reply = co_await std::move(request);
        data = reply.data;
    } catch (...) {
        failed = true; // the failure state shows; the error's text does not
    }
    if (!self || m_closed)
        co_return;
    if (failed) {
        setLyrics(std::nullopt, true);
        co_return;
    }
    if (data && data->lines)
        data->lines = sortedLines(*data->lines);
    if (data && data->lines && !data->lines->isEmpty())
        std::tie(m_startLine, m_endLine) = initialRange(data->lines->size());
    const bool missing = !data; // a reply without a lyrics record counts as a failure
    setLyrics(std::move(data), missing);
}

void StoryViewModel::setLyrics(std::optional<LyricsData> lyrics, bool failed)
{
    m_lyrics = std::move(lyrics);
    m_loadFailed = failed;
    m_lineItems->setLines(lines());
    emit contentChanged();
    emit rangeChanged();
}

void StoryViewModel::chooseStart(int index)
{
    m_startLine = index;
    if (m_endLine < index)
        m_endLine = index;
    emit rangeChanged();
}

void StoryViewModel::chooseEnd(int index)
{
    m_endLine = index;
    if (index < m_startLine)
        m_startLine = index;
    emit rangeChanged();
}

// ------------------------------------------------------------------ rendering

void StoryViewModel::generate()
{
    if (m_isRendering || content() != Content::Picker)
        return;
    render();
}

QCoro::Task<> StoryViewModel::render()
{
    QPointer<StoryViewModel> self(this);
    pausePreview();
    setRendering(true);
    setErrorText({});
    discardVideo();
    setSaved(false);
    setProgress(0);
    QImage cover = co_await fetchCover();
    if (!self || m_closed)
        co_return;
    const StoryConfig config = makeConfig(std::move(cover));
    QUrl result;
    QString failure;
    StoryVideoRenderer::Progress progress = [self](double value) {
        if (self && !self->m_closed)
            self->setProgress(value);
    };
    try {
        QCoro::Task<QUrl> rendering = StoryVideoRenderer::render(config, std::move(progress));
        result = co_await std::move(rendering);
    } catch (const AppError &error) {
        failure = error.errorDescription();
    } catch (...) {
        failure = StoryError::renderFailed().errorDescription();
    }
    if (!self || m_closed) {
        // The sheet is gone: nobody will show or save this video.
        StoryVideoRenderer::discard(result);
        co_return;
    }
    if (!failure.isEmpty()) {
        setErrorText(QStringLiteral("خطا در ساخت: ") + failure);
        setRendering(false);
        co_return;
    }
    setVideoURL(result);
    setProgress(1);
    auto *player = static_cast<QMediaPlayer *>(previewPlayer());
    player->setSource(result);
    m_previewWanted = true;
    player->play();
    setRendering(false);
}

QCoro::Task<QImage> StoryViewModel::fetchCover() const
{
    std::optional<QString> artwork = currentTrackArtworkURL(m_station, *m_offline);
    if (!artwork || artwork->isEmpty())
        artwork = m_station.artworkURL;
    const std::optional<QUrl> address = m_client->absolute(artwork);
    if (!address)
        co_return QImage();
    QByteArray bytes;
    if (address->isLocalFile()) {
        // The same rule as every other picture: a downloaded artwork file, read off this thread.
        QCoro::Task<std::optional<QByteArray>> reading =
            artwork::readLocalFileOffThread(address->toLocalFile(), m_offline->downloadsFolder());
        bytes = (co_await std::move(reading)).value_or(QByteArray());
    } else if (address->scheme() == u"http" || address->scheme() == u"https") {
        QNetworkAccessManager network;
        QNetworkRequest request(*address);
        request.setTransferTimeout(CoverTimeoutMs);
        QNetworkReply *reply = network.get(request);
        artwork::limitReply(reply);
        co_await qCoro(reply).waitForFinished(std::chrono::milliseconds(CoverTimeoutMs * 2));
        if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
            bytes = reply->read(artwork::MaxBytes + 1);
        reply->deleteLater();
    }
    if (bytes.isEmpty() || bytes.size() > artwork::MaxBytes)
        co_return QImage();
    std::function<QImage()> decode = [bytes] { return artwork::decodeScaled(bytes, CoverMaxSide); };
    co_return co_await onWorker<QImage>(std::move(decode));
}

void StoryViewModel::regenerate()
{
    setRendering(false);
    pausePreview();
    discardVideo();
    loadLyrics();
}

// ------------------------------------------------------------------ saving

void StoryViewModel::save()
{
    if (!m_savedToLibrary)
        saveToLibrary();
}

QCoro::Task<> StoryViewModel::saveToLibrary()
{
    if (m_videoURL.isEmpty())
        co_return;
    QPointer<StoryViewModel> self(this);
    const QString path = m_videoURL.toLocalFile();
    QString saved;
    QString failure;
    try {
        saved = co_await PhotoLibrary::saveVideo(path);
    } catch (const AppError &error) {
        failure = error.errorDescription();
    }
    if (!self || m_closed)
        co_return;
    if (failure.isEmpty())
        setSaved(true);
    showSaveOutcome(saved, failure);
}

void StoryViewModel::saveCopy(const QUrl &target)
{
    copyTo(target);
}

QCoro::Task<> StoryViewModel::copyTo(QUrl target)
{
    QPointer<StoryViewModel> self(this);
    const QString source = m_videoURL.toLocalFile();
    const QString path = target.isLocalFile() ? target.toLocalFile() : QString();
    QString failure;
    try {
        co_await PhotoLibrary::saveCopyOffThread(source, path);
    } catch (const AppError &error) {
        failure = error.errorDescription();
    }
    if (self && !m_closed)
        showSaveOutcome(path, failure);
}

void StoryViewModel::showSaveOutcome(const QString &savedPath, const QString &failure)
{
    if (!failure.isEmpty()) {
        setErrorText(QStringLiteral("خطا در ذخیره: ") + failure);
        return;
    }
    m_errorText.clear();
    m_noticeText = QStringLiteral("ذخیره شد: ") + PhotoLibrary::isolated(savedPath);
    emit errorTextChanged();
}

void StoryViewModel::close()
{
    pausePreview();
    if (m_closed)
        return;
    m_closed = true;
    // The last video stays after its sheet (it may have been handed to another application or
    // the clipboard) until another sheet leaves one behind; the renderer removes it at quit.
    static QUrl leftBehind;
    if (!m_videoURL.isEmpty() && m_videoURL != leftBehind) {
        StoryVideoRenderer::discard(leftBehind);
        leftBehind = m_videoURL;
    }
}

void StoryViewModel::discardVideo()
{
    // Each render's video lives in a folder of its own; once the sheet lets go of it, it goes.
    if (m_preview)
        m_preview->setSource(QUrl());
    StoryVideoRenderer::discard(m_videoURL);
    setVideoURL({});
}

void StoryViewModel::pausePreview()
{
    m_previewWanted = false;
    if (m_preview)
        m_preview->pause();
}

// ------------------------------------------------------------------ setters

void StoryViewModel::setRendering(bool value)
{
    if (m_isRendering == value)
        return;
    m_isRendering = value;
    emit renderingChanged();
}

void StoryViewModel::setProgress(double value)
{
    m_renderProgress = value;
    emit renderProgressChanged();
}

void StoryViewModel::setVideoURL(const QUrl &url)
{
    if (m_videoURL == url)
        return;
    m_videoURL = url;
    emit videoURLChanged();
}

void StoryViewModel::setErrorText(const QString &text)
{
    if (m_errorText == text && m_noticeText.isEmpty())
        return;
    m_errorText = text;
    m_noticeText.clear();
    emit errorTextChanged();
}

void StoryViewModel::setSaved(bool value)
{
    if (m_savedToLibrary == value)
        return;
    m_savedToLibrary = value;
    emit savedToLibraryChanged();
}
