#include "ViewClock.h"

#include <QTimer>

SystemViewClock::SystemViewClock(QObject* parent)
    : QObject(parent) {
    m_elapsed.start();
}

SystemViewClock::~SystemViewClock() {
    qDeleteAll(m_timers);
}

int SystemViewClock::schedule(int delayMs, std::function<void()> task) {
    const int id = m_nextId++;
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id, task = std::move(task)] {
        if (QTimer* t = m_timers.take(id))
            t->deleteLater();
        task();
    });
    m_timers.insert(id, timer);
    timer->start(std::max(0, delayMs));
    return id;
}

void SystemViewClock::cancel(int id) {
    if (QTimer* timer = m_timers.take(id)) {
        timer->stop();
        timer->deleteLater();
    }
}
