#pragma once

#include <QList>

#include "platform/PeriodicTimer.h"

// A periodic timer on a clock of the test's own: Advance() moves the clock and fires every
// expiry that falls into the step, so minutes pass at once.
class ManualTimer : public PeriodicTimer {
public:
    void Start(int periodMs) override {
        m_period = periodMs;
        m_due = m_now + periodMs;
        m_active = true;
        m_starts.append(periodMs);
    }
    void Stop() override { m_active = false; }
    bool IsActive() const override { return m_active; }

    // Moves the clock on by ms; returns how many times the timer fired. A period below one
    // millisecond would never let the clock move, so expiries are counted at most 10000 times.
    int Advance(qint64 ms) {
        const qint64 until = m_now + ms;
        int fired = 0;
        while (m_active && m_due <= until && fired < 10000) {
            m_now = m_due;
            m_due += qMax(m_period, 1);
            ++fired;
            Fire();
        }
        m_now = until;
        return fired;
    }
    qint64 Now() const { return m_now; }
    int Period() const { return m_period; }
    // The periods of every (re)start, in order.
    const QList<int>& Starts() const { return m_starts; }

private:
    qint64 m_now = 0;
    qint64 m_due = 0;
    int m_period = 0;
    bool m_active = false;
    QList<int> m_starts;
};
