#include "platform/PeriodicTimer.h"

#include <QTimer>
#include <limits>

QtPeriodicTimer::QtPeriodicTimer(QObject* parent) : m_timer(new QTimer(parent)) {
    m_timer->setTimerType(Qt::CoarseTimer);
    QObject::connect(m_timer, &QTimer::timeout, m_timer, [this] { Fire(); });
}

QtPeriodicTimer::~QtPeriodicTimer() {
    delete m_timer;
}

void QtPeriodicTimer::Start(int periodMs) {
    m_timer->start(periodMs);
}

void QtPeriodicTimer::Stop() {
    m_timer->stop();
}

bool QtPeriodicTimer::IsActive() const {
    return m_timer->isActive();
}

int TimerPeriodMs(quint32 count, qint64 unitMs, qint64 floorMs) {
    const qint64 period = qMax<qint64>(static_cast<qint64>(count) * unitMs, floorMs);
    return static_cast<int>(qMin<qint64>(period, std::numeric_limits<int>::max()));
}
