#pragma once
// Keeps a Linux phone awake while it records or plays: a phone suspends a few seconds after its
// screen turns off, which would end any recording, a call's included. Holding takes a logind
// "sleep" inhibitor lock (org.freedesktop.login1.Manager.Inhibit on the system bus, mode "block");
// releasing closes it at once. The screen may still blank.
//
// Without logind (a desktop without it, a container, no system bus) hold() logs that once and the
// program goes on. GUI thread only; the D-Bus library stays inside the .cpp file.
class SleepInhibitor {
public:
    SleepInhibitor() = default;
    ~SleepInhibitor() { release(); }
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // Takes the lock unless held already; whether it is held now.
    bool hold();
    void release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    bool m_said_unavailable = false;
};
