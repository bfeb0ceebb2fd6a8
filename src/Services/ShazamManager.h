#pragma once

#include <QObject>

#include <functional>

// The song-recognition manager. This part carries the open-request handshake: the custom URL
// "melodrift://shazam" and a pending request left by a shortcut become one published flag,
// `openRequest`, which the home screen watches, resets and answers by presenting the recognition
// sheet; `autoStartOnOpen` tells the sheet to start listening by itself.
class ShazamManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool openRequest READ openRequest WRITE setOpenRequest NOTIFY openRequestChanged)
    Q_PROPERTY(bool autoStartOnOpen READ autoStartOnOpen WRITE setAutoStartOnOpen NOTIFY autoStartOnOpenChanged)

public:
    // Key of the shortcut's time stamp in the app-group suite (seconds since 1970, with fraction).
    static constexpr const char *RequestAtKey = "shazamRequestAt";
    // A shortcut's request is honoured for this long.
    static constexpr double PendingWindowSeconds = 120.0;

    static ShazamManager &shared();

    bool openRequest() const { return m_openRequest; }
    void setOpenRequest(bool value);
    bool autoStartOnOpen() const { return m_autoStartOnOpen; }
    void setAutoStartOnOpen(bool value);

    // Asks for the recognition sheet; `autoStart` says whether it starts listening by itself.
    Q_INVOKABLE void requestOpen(bool autoStart);
    // Consumes a shortcut's request from the app-group suite when it is less than 120 s old.
    Q_INVOKABLE void checkPendingExternalRequest();

    // The clock, in seconds since 1970; tests replace it (nullptr restores the system clock).
    void setClockForTesting(std::function<double()> clock);

signals:
    void openRequestChanged();
    void autoStartOnOpenChanged();

private:
    ShazamManager() = default;
    double now() const;

    bool m_openRequest = false;
    bool m_autoStartOnOpen = false;
    std::function<double()> m_clock;
};
