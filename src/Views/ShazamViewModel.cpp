#include "ShazamViewModel.h"

#include "Services/RadioPlayer.h"
#include "Services/ShazamManager.h"

using namespace Qt::StringLiterals;

const QString ShazamViewModel::TitleText = u"تشخیص آهنگ"_s;
const QString ShazamViewModel::ListeningText = u"در حال گوش دادن…"_s;
const QString ShazamViewModel::StartingText = u"در حال آماده‌سازی میکروفون…"_s;
const QString ShazamViewModel::ProcessingText = u"در حال شناسایی با هوش مصنوعی…"_s;
const QString ShazamViewModel::ReadyText = u"آماده شناسایی"_s;
const QString ShazamViewModel::RecognizedText = u"شناسایی شد"_s;

ShazamViewModel::ShazamViewModel(QObject *parent)
    : ShazamViewModel(&ShazamManager::shared(), RadioPlayer::shared(), parent)
{
}

ShazamViewModel::ShazamViewModel(ShazamManager *shazam, RadioPlayer *player, QObject *parent)
    : QObject(parent), m_shazam(shazam), m_player(player)
{
    Q_ASSERT(shazam && player);
    for (auto signal : {&ShazamManager::isStartingChanged, &ShazamManager::isListeningChanged,
                        &ShazamManager::isProcessingChanged,
                        &ShazamManager::recognizedTrackChanged, &ShazamManager::errorMessageChanged})
        connect(shazam, signal, this, &ShazamViewModel::stateChanged);
    m_autoStart.setSingleShot(true);
    m_autoStart.setInterval(AutoStartDelayMs);
    connect(&m_autoStart, &QTimer::timeout, this, [this] {
        if (m_shazam)
            m_shazam->startRecognition();
    });
}

// ------------------------------------------------------------------ rules

ShazamViewModel::Status ShazamViewModel::status(bool starting, bool listening, bool processing, bool hasError,
                                                bool hasResult)
{
    if (listening)
        return Status::Listening;
    if (starting)
        return Status::Starting;
    if (processing)
        return Status::Processing;
    if (hasError)
        return Status::Error;
    if (!hasResult)
        return Status::Ready;
    return Status::Recognized;
}

Station ShazamViewModel::stationFor(const ShazamData &track)
{
    PlaylistTrack t;
    t.trackType = u"shazam"_s;
    t.trackID = track.title;
    t.title = track.title;
    t.artist = track.artist;
    t.artworkURL = track.artworkURL;
    t.streamURL = track.streamURL;
    t.duration = track.duration;

    Station s;
    s.genre = u"shazam-result"_s;
    s.title = track.title;
    s.artist = track.artist;
    s.serverName = u"شزم"_s;
    s.artworkURL = track.artworkURL;
    s.source = u"shazam"_s;
    s.category = u"shazam"_s;
    s.trackIndex = 0;
    s.trackCount = 1;
    s.tracks = QList<PlaylistTrack>{t};
    return s;
}

// ------------------------------------------------------------------ state

bool ShazamViewModel::isStarting() const
{
    return m_shazam && m_shazam->isStarting();
}

bool ShazamViewModel::isListening() const
{
    return m_shazam && m_shazam->isListening();
}

bool ShazamViewModel::isProcessing() const
{
    return m_shazam && m_shazam->isProcessing();
}

bool ShazamViewModel::hasResult() const
{
    return m_shazam && m_shazam->recognizedTrack().has_value();
}

bool ShazamViewModel::hasError() const
{
    return m_shazam && m_shazam->errorMessage().has_value();
}

ShazamViewModel::Status ShazamViewModel::status() const
{
    return status(isStarting(), isListening(), isProcessing(), hasError(), hasResult());
}

QString ShazamViewModel::statusText() const
{
    switch (status()) {
    case Status::Listening:
        return ListeningText;
    case Status::Starting:
        return StartingText;
    case Status::Processing:
        return ProcessingText;
    case Status::Error:
        return *m_shazam->errorMessage();
    case Status::Ready:
        return ReadyText;
    case Status::Recognized:
        break;
    }
    return RecognizedText;
}

QString ShazamViewModel::buttonSymbol() const
{
    return isListening() ? u"waveform"_s : u"mic.fill"_s;
}

QString ShazamViewModel::resultTitle() const
{
    if (!hasResult())
        return {};
    return m_shazam->recognizedTrack()->title.value_or(u"—"_s);
}

QString ShazamViewModel::resultArtist() const
{
    return hasResult() ? m_shazam->recognizedTrack()->artist.value_or(QString()) : QString();
}

QString ShazamViewModel::resultGenre() const
{
    return hasResult() ? m_shazam->recognizedTrack()->genre.value_or(QString()) : QString();
}

QVariant ShazamViewModel::resultArtworkURL() const
{
    if (!hasResult() || !m_shazam->recognizedTrack()->artworkURL)
        return {};
    return *m_shazam->recognizedTrack()->artworkURL;
}

// ------------------------------------------------------------------ actions

void ShazamViewModel::appear()
{
    if (!m_shazam)
        return;
    const bool autoStart = m_shazam->autoStartOnOpen();
    m_shazam->setAutoStartOnOpen(false);
    if (autoStart && !isBusy() && !hasResult())
        m_autoStart.start();
}

void ShazamViewModel::disappear()
{
    m_autoStart.stop();
    if (!m_shazam)
        return;
    m_shazam->clearErrorMessage();
    m_shazam->clearRecognizedTrack();
}

void ShazamViewModel::listen()
{
    if (m_shazam)
        m_shazam->startRecognition();
}

void ShazamViewModel::retry()
{
    if (!m_shazam)
        return;
    m_shazam->clearErrorMessage();
    m_shazam->clearRecognizedTrack();
    m_shazam->startRecognition();
}

void ShazamViewModel::playResult()
{
    if (!m_shazam || !m_player || !m_shazam->recognizedTrack())
        return;
    m_player->select(stationFor(*m_shazam->recognizedTrack()));
    m_player->setFullPlayerPresented(true);
}
