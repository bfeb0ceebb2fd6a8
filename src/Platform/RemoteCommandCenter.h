#pragma once

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <optional>

enum class RemoteCommand {
    Play,
    Pause,
    TogglePlayPause,
    NextTrack,
    PreviousTrack,
    SkipForward,
    SkipBackward,
    ChangePlaybackPosition,
    ChangeVolume,
};

enum class RemoteCommandStatus { Success, CommandFailed, NoHandler };

// One command as the desktop sent it.
struct RemoteCommandEvent {
    RemoteCommand command = RemoteCommand::Play;
    std::optional<double> interval;      // skip commands: seconds
    std::optional<double> positionTime;  // change of position: seconds
    std::optional<double> volume;        // change of volume: 0..1
};

// The commands that the desktop's media controls can send to the player. The player installs one
// handler per command; a handler answers at once and does its work later on the main thread.
// An availability rule tells the desktop beforehand whether a command would be refused.
class RemoteCommandCenter : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<RemoteCommandStatus(const RemoteCommandEvent &)>;
    using Availability = std::function<bool()>;

    explicit RemoteCommandCenter(QObject *parent = nullptr);

    // The process-wide instance, the one exported on the session bus.
    static RemoteCommandCenter *shared();

    void setHandler(RemoteCommand command, Handler handler, Availability availability = {});
    void removeHandler(RemoteCommand command);
    bool hasHandler(RemoteCommand command) const { return m_handlers.contains(command); }

    // Runs the command's handler; NoHandler when none is installed.
    RemoteCommandStatus dispatch(const RemoteCommandEvent &event);
    // Whether the command would be accepted now: a handler exists and its rule allows it.
    bool isAvailable(RemoteCommand command) const;
    // Called by the owner of the rules whenever state they read may have changed.
    void notifyAvailabilityChanged() { emit availabilityChanged(); }

    void setPreferredIntervals(RemoteCommand command, QList<double> seconds);
    QList<double> preferredIntervals(RemoteCommand command) const { return m_intervals.value(command); }

    // The output volume (0..1) that the desktop shows; the player publishes it.
    double volume() const { return m_volume; }
    void setVolume(double volume);

signals:
    void availabilityChanged();
    void volumeChanged();

private:
    struct Entry {
        Handler handler;
        Availability availability;
    };
    QHash<RemoteCommand, Entry> m_handlers;
    QHash<RemoteCommand, QList<double>> m_intervals;
    double m_volume = 1.0;
};
