#pragma once

#include <QtGlobal>
#include <functional>

class PeriodicTimer;
struct Settings;

// Repeats the Message sound while received notes stay unanswered: every note that arrives
// restarts the period, so the next reminder comes one full "Notify Interval" after the latest
// note; a tick reminds only while "Notify" is on and some note is unanswered.
class NoteReminder {
public:
    NoteReminder(const Settings& settings, PeriodicTimer& timer,
                 std::function<int()> unansweredCount, std::function<void()> playMessage);

    // Starts the timer with the current interval (when the main window is made).
    void Start();
    // A note has arrived and been shown.
    void NotifyNewMessage();

    // "Notify Interval" minutes as a timer period; 0 reminds once a minute.
    static int PeriodMs(quint32 minutes);

private:
    void OnTick();

    const Settings& m_settings;
    PeriodicTimer& m_timer;
    std::function<int()> m_unansweredCount;
    std::function<void()> m_playMessage;
};
