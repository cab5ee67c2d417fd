#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <functional>

class QTimer;

// Time and deferred steps of the keyboard view: the long press, the focus
// delay, the drag clearing and the animation frames all go through it, so tests
// can run them on a clock they move by hand.
class ViewClock {
public:
    virtual ~ViewClock() = default;

    // Milliseconds since an arbitrary start.
    virtual qint64 now() const = 0;
    // Runs the task once after the delay, on the main thread; 0 is the next turn of the event loop.
    virtual int schedule(int delayMs, std::function<void()> task) = 0;
    // Forgets a task that has not run yet; unknown ids are ignored.
    virtual void cancel(int id) = 0;
    // Tasks waiting to run.
    virtual int pendingCount() const = 0;
};

// The event loop's clock: one single-shot timer per waiting task, none otherwise.
class SystemViewClock : public QObject, public ViewClock {
    Q_OBJECT
public:
    explicit SystemViewClock(QObject* parent = nullptr);
    ~SystemViewClock() override;

    qint64 now() const override { return m_elapsed.elapsed(); }
    int schedule(int delayMs, std::function<void()> task) override;
    void cancel(int id) override;
    int pendingCount() const override { return int(m_timers.size()); }

private:
    QElapsedTimer m_elapsed;
    QHash<int, QTimer*> m_timers;
    int m_nextId = 1;
};
