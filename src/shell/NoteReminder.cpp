#include "shell/NoteReminder.h"

#include "app/Settings.h"
#include "platform/PeriodicTimer.h"

namespace {
constexpr qint64 kMinuteMs = 60000;
}

NoteReminder::NoteReminder(const Settings& settings, PeriodicTimer& timer,
                           std::function<int()> unansweredCount, std::function<void()> playMessage)
    : m_settings(settings),
      m_timer(timer),
      m_unansweredCount(std::move(unansweredCount)),
      m_playMessage(std::move(playMessage)) {
    m_timer.SetCallback([this] { OnTick(); });
}

int NoteReminder::PeriodMs(quint32 minutes) {
    return TimerPeriodMs(minutes, kMinuteMs, kMinuteMs);
}

void NoteReminder::Start() {
    m_timer.Start(PeriodMs(m_settings.m_nNotifyInterval));
}

void NoteReminder::NotifyNewMessage() {
    Start();
    m_playMessage();
}

void NoteReminder::OnTick() {
    if (m_settings.m_bNotify == 1 && m_unansweredCount() != 0)
        NotifyNewMessage();
}
