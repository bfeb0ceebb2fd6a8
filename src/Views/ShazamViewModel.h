#pragma once

#include "Models/APIModels.h"
#include "Models/Station.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class RadioPlayer;
class ShazamManager;

// The recognition sheet's state and actions. Everything it shows comes from the recognition
// manager, so reopening the sheet shows the manager's current state; the model adds the status
// line, the result card's texts, the automatic start and playing the result on the radio.
//
// QML (ShazamView.qml) creates one per shown sheet:
//     ShazamViewModel { id: model }
//     Component.onCompleted: model.appear()
//     Component.onDestruction: model.disappear()
class ShazamViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The microphone is being asked for and opened.
    Q_PROPERTY(bool isStarting READ isStarting NOTIFY stateChanged)
    Q_PROPERTY(bool isListening READ isListening NOTIFY stateChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY stateChanged)
    // Starting, listening or processing: the listen button is disabled and grey.
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY stateChanged)
    Q_PROPERTY(Status status READ status NOTIFY stateChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY stateChanged)
    // The listen button's symbol: "waveform" while listening, else "mic.fill".
    Q_PROPERTY(QString buttonSymbol READ buttonSymbol NOTIFY stateChanged)
    Q_PROPERTY(bool hasResult READ hasResult NOTIFY stateChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY stateChanged)
    // The result card: the title ("—" when missing), the artist (empty when missing), the genre
    // (empty when missing) and the artwork address (undefined when missing).
    Q_PROPERTY(QString resultTitle READ resultTitle NOTIFY stateChanged)
    Q_PROPERTY(QString resultArtist READ resultArtist NOTIFY stateChanged)
    Q_PROPERTY(QString resultGenre READ resultGenre NOTIFY stateChanged)
    Q_PROPERTY(QVariant resultArtworkURL READ resultArtworkURL NOTIFY stateChanged)

public:
    // The status line's rows, in the order they are tried.
    enum class Status { Listening, Starting, Processing, Error, Ready, Recognized };
    Q_ENUM(Status)

    static constexpr int AutoStartDelayMs = 800;

    static const QString TitleText;      // "تشخیص آهنگ"
    static const QString ListeningText;  // "در حال گوش دادن…"
    static const QString StartingText;   // "در حال آماده‌سازی میکروفون…"
    static const QString ProcessingText; // "در حال شناسایی با هوش مصنوعی…"
    static const QString ReadyText;      // "آماده شناسایی"
    static const QString RecognizedText; // "شناسایی شد"

    // Uses the shared manager and player.
    explicit ShazamViewModel(QObject *parent = nullptr);
    // Tests hand in their own; both must outlive the model.
    ShazamViewModel(ShazamManager *shazam, RadioPlayer *player, QObject *parent = nullptr);

    // The first matching row of the status table.
    static Status status(bool starting, bool listening, bool processing, bool hasError, bool hasResult);
    // The recognised track as a one-track station ("shazam-result").
    static Station stationFor(const ShazamData &track);

    bool isStarting() const;
    bool isListening() const;
    bool isProcessing() const;
    bool isBusy() const { return isStarting() || isListening() || isProcessing(); }
    Status status() const;
    QString statusText() const;
    QString buttonSymbol() const;
    bool hasResult() const;
    bool hasError() const;
    QString resultTitle() const;
    QString resultArtist() const;
    QString resultGenre() const;
    QVariant resultArtworkURL() const;

    // The sheet was shown: takes the manager's automatic-start request and, when the manager is
    // idle without a result, starts listening 0.8 s later.
    Q_INVOKABLE void appear();
    // The sheet closed: clears the error and the result. A recognition under way goes on.
    Q_INVOKABLE void disappear();
    // The listen button.
    Q_INVOKABLE void listen();
    // "تلاش دوباره": clears the error and the result, then starts again.
    Q_INVOKABLE void retry();
    // "پخش در رادیو": hands the player the result's station and presents the full player. The
    // sheet closes itself afterwards.
    Q_INVOKABLE void playResult();

    bool autoStartPending() const { return m_autoStart.isActive(); }

signals:
    void stateChanged();

private:
    QPointer<ShazamManager> m_shazam;
    QPointer<RadioPlayer> m_player;
    QTimer m_autoStart;
};
