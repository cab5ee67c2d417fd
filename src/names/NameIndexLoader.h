#pragma once

#include <QObject>

#include <future>
#include <memory>

class NameIndex;

// Builds the name index on a thread of its own. Reading every name takes a
// tenth of a second on a quiet machine and several under load: on the event
// loop that would hold the panel and the field the user is typing into. The
// index is only read once built, so nothing is shared while it is made.
class NameIndexLoader : public QObject {
    Q_OBJECT

public:
    explicit NameIndexLoader(QObject* parent = nullptr);
    ~NameIndexLoader() override; // waits for a build still running

    // Starts building unless it has started already.
    void start();
    // The index once built; nullptr while it is being built (and starts it).
    const NameIndex* ready();
    // The index, waited for if it is still being built.
    const NameIndex& wait();

Q_SIGNALS:
    // The index can be read: ready() no longer returns nullptr.
    void built();

private:
    void take();

    std::future<std::unique_ptr<NameIndex>> m_building;
    std::unique_ptr<NameIndex> m_index;
};
