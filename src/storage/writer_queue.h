#pragma once
// The order of the writers of one database file on this computer. A terminal waiting for
// another's write sleeps in the kernel until that write ends, instead of polling the file's
// lock and taking processor time from the terminal that holds it. The engine's own lock
// still decides; this only keeps the terminals of one computer from crowding it.

#include <QString>

namespace tq::engine {

class WriterQueue {
  public:
    /// The queue kept in "<file>-writers" beside the database file. Where that file cannot be
    /// made or mapped, or lies on a network drive (where other computers' terminals would not
    /// see it), there is no queue and every turn is Unordered.
    explicit WriterQueue(const QString& databaseFile);
    ~WriterQueue();
    WriterQueue(const WriterQueue&) = delete;
    WriterQueue& operator=(const WriterQueue&) = delete;

    enum class Turn {
        Taken,      ///< this connection writes next; leave() when its transaction ends
        Unordered,  ///< no queue, or this thread holds the turn already: the engine's lock alone
        TimedOut,   ///< another writer kept the turn for `limitMs`
    };
    /// Waits up to `limitMs` for this connection's turn. A writer that died holding the turn
    /// passes it on at once.
    Turn take(int limitMs);
    /// Ends the turn taken; nothing when none is held.
    void leave();

  private:
    struct Shared;
    Shared* shared_ = nullptr;
    int fd_ = -1;  ///< kept open: its shared lock says the queue is in use
    bool held_ = false;
};

}  // namespace tq::engine
