#pragma once

#include "Models/Station.h"

#include <QCoroTask>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class AuthStore;
class OfflineStore;
class RadioPlayer;

// The full player's state and rules: the layout by the size it is given, the record's switch and
// angle, the downward drag that closes it, the five sheet flags, the favourite, and the texts and
// enabling rules of its rows. The screen holds no station of its own: it reads the player.
//
// FullPlayerView.qml makes one per presentation, so every opening starts afresh:
//     FullPlayerViewModel { id: model; contentSize: Qt.size(root.width, root.height) }
//     Component.onCompleted: model.appear()
// A favourite toggle started here finishes in the store after the screen has gone.
class FullPlayerViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT

    // --- layout, from the size of the space given to the screen
    Q_PROPERTY(QSizeF contentSize READ contentSize WRITE setContentSize NOTIFY layoutChanged)
    Q_PROPERTY(bool compact READ compact NOTIFY layoutChanged)
    Q_PROPERTY(double recordSide READ recordSide NOTIFY layoutChanged)
    Q_PROPERTY(double playSize READ playSize NOTIFY layoutChanged)
    Q_PROPERTY(double sideMargin READ sideMargin NOTIFY layoutChanged)

    // --- screen state
    // Degrees; one more turn each time the record starts turning.
    Q_PROPERTY(double rotation READ rotation NOTIFY rotationChanged)
    Q_PROPERTY(bool isRotating READ isRotating NOTIFY rotationChanged)
    // How far the screen is pulled down (points).
    Q_PROPERTY(double dragOffset READ dragOffset NOTIFY dragOffsetChanged)
    Q_PROPERTY(bool showLyrics READ showLyrics WRITE setShowLyrics NOTIFY sheetsChanged)
    Q_PROPERTY(bool showEQ READ showEQ WRITE setShowEQ NOTIFY sheetsChanged)
    Q_PROPERTY(bool showStory READ showStory WRITE setShowStory NOTIFY sheetsChanged)
    Q_PROPERTY(bool showLogin READ showLogin WRITE setShowLogin NOTIFY sheetsChanged)
    Q_PROPERTY(bool showAddToPlaylist READ showAddToPlaylist WRITE setShowAddToPlaylist NOTIFY sheetsChanged)
    Q_PROPERTY(bool favAnimating READ favAnimating NOTIFY favAnimatingChanged)

    // --- what the pieces show
    Q_PROPERTY(QString headerTitle READ headerTitle NOTIFY stationChanged)
    Q_PROPERTY(QString trackTitle READ trackTitle NOTIFY stationChanged)
    Q_PROPERTY(QString artistLine READ artistLine NOTIFY stationChanged)
    // The current track's artwork (a downloaded file first); undefined without a station.
    Q_PROPERTY(QVariant artworkURL READ artworkURL NOTIFY stationChanged)
    Q_PROPERTY(bool isFavorite READ isFavorite NOTIFY favoriteChanged)
    Q_PROPERTY(QString elapsedText READ elapsedText NOTIFY timeChanged)
    Q_PROPERTY(QString totalText READ totalText NOTIFY timeChanged)
    // The seek slider's upper end: the duration once it is known, else 1.
    Q_PROPERTY(double seekMaximum READ seekMaximum NOTIFY timeChanged)
    // The ±10 s buttons: not for a live stream nor before the duration is known.
    Q_PROPERTY(bool canSkipSeconds READ canSkipSeconds NOTIFY transportChanged)
    Q_PROPERTY(bool canSkipTracks READ canSkipTracks NOTIFY stationChanged)
    // The play button shows a spinner while connecting, else the play or pause glyph.
    Q_PROPERTY(bool showsSpinner READ showsSpinner NOTIFY transportChanged)
    Q_PROPERTY(QString playSymbol READ playSymbol NOTIFY transportChanged)
    // Named for what a press does now.
    Q_PROPERTY(QString playPauseName READ playPauseName NOTIFY transportChanged)
    // What the play button shows, in words, for assistive technology: connecting while it shows
    // the spinner, playing while it shows the pause glyph, else nothing; while the player
    // reconnects or after it gave up, why (recoveryText).
    Q_PROPERTY(QString statusText READ statusText NOTIFY transportChanged)
    // Shown under the titles while the player reconnects or after it gave up; else empty.
    Q_PROPERTY(QString recoveryText READ recoveryText NOTIFY transportChanged)
    Q_PROPERTY(bool playbackFailed READ playbackFailed NOTIFY transportChanged)
    // The offline store's last error; empty when there is none.
    Q_PROPERTY(QString offlineError READ offlineError NOTIFY offlineErrorChanged)

public:
    // The layout rule: compact below 750 points of height.
    struct Layout {
        bool compact = false;
        double recordSide = 0;
        double playSize = 0;
        double sideMargin = 0;
    };
    static constexpr double CompactBelowHeight = 750;
    // A release further down than this (and more down than sideways) closes the screen.
    static constexpr double DismissDistance = 120;

    static const QString PlayingName; // "مکث"
    static const QString PausedName;  // "پخش"

    // Uses the shared player, session store and offline store.
    explicit FullPlayerViewModel(QObject *parent = nullptr);
    // Tests hand in their own; none may be null, all must outlive the model.
    FullPlayerViewModel(RadioPlayer *player, AuthStore *auth, OfflineStore *offline, QObject *parent = nullptr);

    static Layout layoutFor(QSizeF size);
    // A time as "m:ss": minutes uncapped, no hours; "0:00" for anything not finite or not above 0.
    static QString format(double seconds);

    QSizeF contentSize() const { return m_contentSize; }
    void setContentSize(QSizeF size);
    bool compact() const { return m_layout.compact; }
    double recordSide() const { return m_layout.recordSide; }
    double playSize() const { return m_layout.playSize; }
    double sideMargin() const { return m_layout.sideMargin; }

    double rotation() const { return m_rotation; }
    bool isRotating() const { return m_isRotating; }
    double dragOffset() const { return m_dragOffset; }
    bool showLyrics() const { return m_showLyrics; }
    bool showEQ() const { return m_showEQ; }
    bool showStory() const { return m_showStory; }
    bool showLogin() const { return m_showLogin; }
    bool showAddToPlaylist() const { return m_showAddToPlaylist; }
    void setShowLyrics(bool show) { setFlag(m_showLyrics, show); }
    void setShowEQ(bool show) { setFlag(m_showEQ, show); }
    void setShowStory(bool show) { setFlag(m_showStory, show); }
    void setShowLogin(bool show) { setFlag(m_showLogin, show); }
    void setShowAddToPlaylist(bool show) { setFlag(m_showAddToPlaylist, show); }
    bool favAnimating() const { return m_favAnimating; }

    QString headerTitle() const;
    QString trackTitle() const;
    QString artistLine() const;
    QVariant artworkURL() const;
    bool isFavorite() const;
    QString elapsedText() const;
    QString totalText() const;
    double seekMaximum() const;
    bool canSkipSeconds() const;
    bool canSkipTracks() const;
    bool showsSpinner() const;
    QString playSymbol() const;
    QString playPauseName() const;
    QString statusText() const;
    QString recoveryText() const;
    bool playbackFailed() const;
    QString offlineError() const;

    // The screen is shown: the record turns, whatever the playback state.
    Q_INVOKABLE void appear();
    // A drag moved by (dx, dy): a mainly downward pull moves the screen along.
    Q_INVOKABLE void dragChanged(double dx, double dy);
    // The drag ended at (dx, dy): true when the screen is to close (the offset stays); otherwise
    // the offset goes back to 0.
    Q_INVOKABLE bool dragEnded(double dx, double dy);
    // The heart: signed out it opens the sign-in sheet; signed in it toggles the track showing now.
    Q_INVOKABLE void handleFavoriteTap();
    // The plus: the add-to-playlist sheet when signed in, else the sign-in sheet.
    Q_INVOKABLE void handleAddTap();
    // The current station as it is now (undefined without one): what a sheet keeps as its own.
    Q_INVOKABLE QVariant stationCopy() const;

signals:
    void layoutChanged();
    void rotationChanged();
    void dragOffsetChanged();
    void sheetsChanged();
    void favAnimatingChanged();
    void stationChanged();
    void favoriteChanged();
    void timeChanged();
    void transportChanged();
    void offlineErrorChanged();

private:
    void setRotating(bool rotating);
    void setDragOffset(double offset);
    void setFlag(bool &flag, bool value);
    void setFavAnimating(bool animating);
    static QCoro::Task<> toggleFavorite(QPointer<FullPlayerViewModel> screen, QPointer<AuthStore> auth,
                                        Station station);

    QPointer<RadioPlayer> m_player;
    QPointer<AuthStore> m_auth;
    QPointer<OfflineStore> m_offline;

    QSizeF m_contentSize;
    Layout m_layout;
    double m_rotation = 0;
    bool m_isRotating = false;
    bool m_lastIsPlaying = false;
    double m_dragOffset = 0;
    bool m_showLyrics = false;
    bool m_showEQ = false;
    bool m_showStory = false;
    bool m_showLogin = false;
    bool m_showAddToPlaylist = false;
    bool m_favAnimating = false;
};
