#pragma once

#include "keyboard/view/timing/ViewClock.h"

#include <map>
#include <utility>

// A clock that moves only when told: advance() runs every task that falls due,
// in order of due time, each seeing now() at its own due time. For tests.
class ManualViewClock : public ViewClock {
public:
    qint64 now() const override { return m_now; }

    int schedule(int delayMs, std::function<void()> task) override {
        const int id = m_nextId++;
        m_tasks.emplace(std::make_pair(m_now + std::max(0, delayMs), id), std::move(task));
        return id;
    }

    void cancel(int id) override {
        for (auto it = m_tasks.begin(); it != m_tasks.end(); ++it)
            if (it->first.second == id) {
                m_tasks.erase(it);
                return;
            }
    }

    int pendingCount() const override { return int(m_tasks.size()); }

    // Moves time forward, running what falls due (also tasks those tasks schedule).
    void advance(qint64 ms) {
        const qint64 end = m_now + ms;
        while (!m_tasks.empty() && m_tasks.begin()->first.first <= end) {
            auto node = m_tasks.extract(m_tasks.begin());
            m_now = node.key().first;
            node.mapped()();
        }
        m_now = end;
    }

private:
    qint64 m_now = 0;
    int m_nextId = 1;
    std::map<std::pair<qint64, int>, std::function<void()>> m_tasks;
};
