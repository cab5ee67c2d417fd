#include "names/NameIndexLoader.h"

#include "names/NameIndex.h"

NameIndexLoader::NameIndexLoader(QObject* parent)
    : QObject(parent) {}

// The future's own destructor waits for the thread. A call it queued on this
// object meanwhile is dropped with the object's posted events.
NameIndexLoader::~NameIndexLoader() = default;

void NameIndexLoader::start() {
    if (m_index || m_building.valid())
        return;
    m_building = std::async(std::launch::async, [this] {
        auto index = std::make_unique<NameIndex>();
        QMetaObject::invokeMethod(this, &NameIndexLoader::take, Qt::QueuedConnection);
        return index;
    });
}

const NameIndex* NameIndexLoader::ready() {
    start();
    if (!m_index && m_building.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        take();
    return m_index.get();
}

const NameIndex& NameIndexLoader::wait() {
    start();
    if (!m_index)
        take();
    return *m_index;
}

void NameIndexLoader::take() {
    if (!m_building.valid())
        return; // taken already
    m_index = m_building.get();
    Q_EMIT built();
}
