#pragma once

#include <functional>

// Access to the microphone. A desktop session has no per-application microphone permission, so
// the desktop's answer is always yes; tests hand in one that says no.
class MicrophonePermission
{
public:
    virtual ~MicrophonePermission() = default;

    // Asks for the microphone. `reply` runs later, on the GUI thread, with the answer; it is never
    // called from inside this call.
    virtual void requestRecordPermission(std::function<void(bool granted)> reply) = 0;

    // The desktop's: granted.
    static MicrophonePermission &desktop();
};

// A permission with a fixed answer (the desktop's is `FixedMicrophonePermission(true)`).
class FixedMicrophonePermission : public MicrophonePermission
{
public:
    explicit FixedMicrophonePermission(bool granted) : m_granted(granted) {}
    void requestRecordPermission(std::function<void(bool granted)> reply) override;
    // How many times the permission was asked for.
    int requests() const { return m_requests; }

private:
    bool m_granted;
    int m_requests = 0;
};
