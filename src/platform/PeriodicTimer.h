#pragma once

#include <QObject>
#include <functional>

class QTimer;

// A timer that fires every period until restarted or stopped. The program's periodic work goes
// through this small interface so that tests can drive it with a clock of their own instead
// of waiting minutes.
class PeriodicTimer {
public:
    virtual ~PeriodicTimer() = default;
    // (Re)starts the timer: the next expiry is one full period from now.
    virtual void Start(int periodMs) = 0;
    virtual void Stop() = 0;
    virtual bool IsActive() const = 0;
    void SetCallback(std::function<void()> callback) { m_callback = std::move(callback); }

protected:
    void Fire() const {
        if (m_callback)
            m_callback();
    }

private:
    std::function<void()> m_callback;
};

// The real thing: a QTimer on the thread that owns it.
class QtPeriodicTimer : public PeriodicTimer {
public:
    explicit QtPeriodicTimer(QObject* parent = nullptr);
    ~QtPeriodicTimer() override;
    void Start(int periodMs) override;
    void Stop() override;
    bool IsActive() const override;

private:
    QTimer* m_timer;
};

// A period of minutes or hours as milliseconds for a timer: a period of 0 becomes one
// unit's worth of the floor given (never a timer that fires without pause), and a period too
// long for a timer is cut to the longest one.
int TimerPeriodMs(quint32 count, qint64 unitMs, qint64 floorMs);
