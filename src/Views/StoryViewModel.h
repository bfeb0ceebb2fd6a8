#pragma once

#include "Models/APIModels.h"
#include "Models/Station.h"
#include "Services/StoryConfig.h"
#include "StoryLineItems.h"

#include <QCoroTask>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <optional>

class APIClient;
class OfflineStore;
class QMediaPlayer;
class RadioPlayer;

// The story sheet's state and actions: the lyrics of the sheet's own station, the chosen line
// range and the video length it gives, the render with its progress, the finished video with its
// one preview player, saving to the Videos folder.
//
// QML (StoryView.qml) creates one per sheet:
//     StoryViewModel { id: model; station: page.station }
//     Component.onCompleted: model.load()
// Closing the sheet calls close(); a render or save still running then finishes without writing
// into the sheet, and a render's files are removed once it ends. The sheet's video is removed
// when a new render begins and when the listener starts over; the video of a closed sheet stays
// until the next closed sheet leaves another one behind, or the application quits.
class StoryViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QVariant station READ stationValue WRITE setStationValue NOTIFY stationChanged)
    Q_PROPERTY(Content content READ content NOTIFY contentChanged)
    // One row per sorted line: the range menus' item texts ("3. …").
    Q_PROPERTY(StoryLineItems *lineItems READ lineItems CONSTANT)
    Q_PROPERTY(int startLine READ startLine NOTIFY rangeChanged)
    Q_PROPERTY(int endLine READ endLine NOTIFY rangeChanged)
    Q_PROPERTY(QString startLabel READ startLabel NOTIFY rangeChanged)
    Q_PROPERTY(QString endLabel READ endLabel NOTIFY rangeChanged)
    Q_PROPERTY(QString durationText READ durationText NOTIFY rangeChanged)
    Q_PROPERTY(bool isRendering READ isRendering NOTIFY renderingChanged)
    Q_PROPERTY(double renderProgress READ renderProgress NOTIFY renderProgressChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY renderProgressChanged)
    Q_PROPERTY(QUrl videoURL READ videoURL NOTIFY videoURLChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
    // What the last save did ("ذخیره شد: <file>"), where errorText would say why it failed: the
    // two replace each other.
    Q_PROPERTY(QString noticeText READ noticeText NOTIFY errorTextChanged)
    Q_PROPERTY(bool savedToLibrary READ savedToLibrary NOTIFY savedToLibraryChanged)
    // The one preview player of the sheet; the result view shows it.
    Q_PROPERTY(QObject *previewPlayer READ previewPlayer CONSTANT)

public:
    enum class Content { Failure, Picker, NoLyrics };
    Q_ENUM(Content)

    explicit StoryViewModel(QObject *parent = nullptr);
    // Tests hand in their own; none may be null, all must outlive the model.
    StoryViewModel(RadioPlayer *player, OfflineStore *offline, APIClient *client, QObject *parent = nullptr);
    ~StoryViewModel() override;

    QVariant stationValue() const { return m_station.toVariant(); }
    void setStationValue(const QVariant &value);
    const Station &station() const { return m_station; }

    Content content() const;
    StoryLineItems *lineItems() const { return m_lineItems; }
    int startLine() const { return m_startLine; }
    int endLine() const { return m_endLine; }
    QString startLabel() const { return numberText(lines(), m_startLine); }
    QString endLabel() const { return numberText(lines(), m_endLine); }
    QString durationText() const { return durationText(smartDuration(lines(), m_startLine, m_endLine)); }
    bool isRendering() const { return m_isRendering; }
    double renderProgress() const { return m_renderProgress; }
    QString progressText() const { return progressText(m_renderProgress); }
    QUrl videoURL() const { return m_videoURL; }
    QString errorText() const { return m_errorText; }
    QString noticeText() const { return m_noticeText; }
    bool savedToLibrary() const { return m_savedToLibrary; }
    QObject *previewPlayer() const;
    bool previewWanted() const { return m_previewWanted; }
    const std::optional<LyricsData> &lyrics() const { return m_lyrics; }
    QList<LyricsLine> lines() const;

    // Fetches the lyrics of the sheet's station (again, when starting over). Never throws.
    Q_INVOKABLE void load();
    QCoro::Task<> loadLyrics();
    Q_INVOKABLE void chooseStart(int index);
    Q_INVOKABLE void chooseEnd(int index);
    Q_INVOKABLE void generate();
    QCoro::Task<> render();
    Q_INVOKABLE void regenerate();
    Q_INVOKABLE void save();
    QCoro::Task<> saveToLibrary();
    // The share sheet's Save as: copies the video to `target` (a local file the listener chose),
    // off the GUI thread, then says where it went or why it did not.
    Q_INVOKABLE void saveCopy(const QUrl &target);
    QCoro::Task<> copyTo(QUrl target);
    // The sheet goes away: the preview stops; a running render finishes and cleans up after itself.
    Q_INVOKABLE void close();

    // ---- the rules, also used by the tests
    static QList<LyricsLine> sortedLines(QList<LyricsLine> lines);
    static std::pair<int, int> initialRange(qsizetype lineCount);
    static QString menuItemText(const QList<LyricsLine> &lines, int index);
    static QString numberText(const QList<LyricsLine> &lines, int index);
    static double smartDuration(const QList<LyricsLine> &lines, int startLine, int endLine);
    static QString durationText(double seconds);
    static QString progressText(double progress);
    // The render's input for the sheet's station; the cover is fetched by the caller.
    StoryConfig makeConfig(QImage cover) const;
    // The station's artwork for the story, decoded off the GUI thread: over HTTP(S), or a
    // downloaded artwork file; anything else, or a failure, gives a null image.
    QCoro::Task<QImage> fetchCover() const;

signals:
    void stationChanged();
    void contentChanged();
    void rangeChanged();
    void renderingChanged();
    void renderProgressChanged();
    void videoURLChanged();
    void errorTextChanged();
    void savedToLibraryChanged();

private:
    void setRendering(bool value);
    void setProgress(double value);
    void setVideoURL(const QUrl &url);
    void setErrorText(const QString &text);
    // A save ended: its confirmation, or why it failed, in place of what the line said before.
    void showSaveOutcome(const QString &savedPath, const QString &failure);
    void setSaved(bool value);
    void setLyrics(std::optional<LyricsData> lyrics, bool failed);
    void pausePreview();
    void discardVideo();

    RadioPlayer *m_player;
    OfflineStore *m_offline;
    APIClient *m_client;
    Station m_station;
    std::optional<LyricsData> m_lyrics;
    bool m_loadFailed = false;
    int m_startLine = 0;
    int m_endLine = 0;
    bool m_isRendering = false;
    double m_renderProgress = 0;
    QUrl m_videoURL;
    QString m_errorText;
    QString m_noticeText;
    bool m_savedToLibrary = false;
    bool m_previewWanted = false;
    bool m_closed = false;
    QMediaPlayer *m_preview = nullptr;
    StoryLineItems *m_lineItems;
};
