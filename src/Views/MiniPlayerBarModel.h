#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class OfflineStore;
class RadioPlayer;

// What the mini player bar shows of the player: the current station's name, track title and
// artwork, whether the playing indicator shows, and which glyph the play/pause button carries.
//     MiniPlayerBarModel { id: model }
//     PlainButton { onClicked: model.togglePlayPause() }
class MiniPlayerBarModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // Empty texts and no artwork while there is no current station.
    Q_PROPERTY(QString stationName READ stationName NOTIFY stationChanged)
    Q_PROPERTY(QString trackTitle READ trackTitle NOTIFY stationChanged)
    // The artwork address of what plays now (a downloaded artwork file first); undefined when none.
    Q_PROPERTY(QVariant artworkURL READ artworkURL NOTIFY stationChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY playbackChanged)
    Q_PROPERTY(ButtonState buttonState READ buttonState NOTIFY playbackChanged)
    // While the player reconnects or after it gave up: why, in place of the track title.
    Q_PROPERTY(QString problemText READ problemText NOTIFY playbackChanged)
    // The player gave up (the problem is a failure, not a wait).
    Q_PROPERTY(bool playbackFailed READ playbackFailed NOTIFY playbackChanged)
    Q_PROPERTY(QColor themeColor READ themeColor NOTIFY themeColorChanged)

public:
    // The play/pause button: a spinner while connecting (buffering, not yet playing), else the
    // pause glyph while playing and the play glyph otherwise.
    enum class ButtonState { Play, Pause, Spinner };
    Q_ENUM(ButtonState)

    // Uses the shared player and offline store.
    explicit MiniPlayerBarModel(QObject *parent = nullptr);
    // Tests hand in their own; both must outlive the model.
    MiniPlayerBarModel(RadioPlayer *player, OfflineStore *offline, QObject *parent = nullptr);

    QString stationName() const;
    QString trackTitle() const;
    QVariant artworkURL() const;
    bool isPlaying() const;
    ButtonState buttonState() const;
    QString problemText() const;
    bool playbackFailed() const;
    QColor themeColor() const;

    static ButtonState buttonState(bool isPlaying, bool isBuffering);

    // The bar's only action: the full player opens from a tap on the bar, not from here.
    Q_INVOKABLE void togglePlayPause();

signals:
    void stationChanged();
    void playbackChanged();
    void themeColorChanged();

private:
    RadioPlayer *m_player;
    OfflineStore *m_offline;
};
