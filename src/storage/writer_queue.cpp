#include "storage/writer_queue.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <ctime>

namespace tq::engine {

namespace {

constexpr quint64 kMagic = 0x5451'5752'4954'4531ULL;  // marks a queue made in full

// File systems whose pages other computers share without seeing this one's memory.
bool onNetworkDrive(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) {
        return true;
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case 0xFF534D42UL:  // CIFS
        case 0xFE534D42UL:  // SMB2
        case 0x65735546UL:  // FUSE (network mounts among others)
        case V9FS_MAGIC:
        case 0x00C36400UL:  // Ceph
        case AFS_SUPER_MAGIC:
        case CODA_SUPER_MAGIC:
        case NCP_SUPER_MAGIC:
            return true;
        default:
            return false;
    }
}

}  // namespace

struct WriterQueue::Shared {
    pthread_mutex_t mutex;
    quint64 magic;
};

namespace {

// Byte 0 of the side file is held while a queue is made or joined; byte 1 is held shared by
// every open queue for its life, so that a queue nobody holds can be told and made anew.
bool lockByte(int fd, off_t byte, short type, bool wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0;
}

}  // namespace

WriterQueue::WriterQueue(const QString& databaseFile) {
    const QByteArray name = QFile::encodeName(databaseFile + QStringLiteral("-writers"));
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return;
    }
    if (onNetworkDrive(fd) || !lockByte(fd, 0, F_WRLCK, true)) {
        ::close(fd);
        return;
    }
    // Nobody else holds the queue: whatever the file holds (a turn taken before a power loss,
    // a copy of a held queue, a maker that died half-way) is made anew. Otherwise it is joined.
    const bool alone = lockByte(fd, 1, F_WRLCK, false);
    struct stat st {};
    const bool sized = ::fstat(fd, &st) == 0 && (st.st_size >= static_cast<off_t>(sizeof(Shared)) ||
                                                 ::ftruncate(fd, sizeof(Shared)) == 0);
    void* map = sized ? ::mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                      : MAP_FAILED;
    if (map != MAP_FAILED) {
        auto* shared = static_cast<Shared*>(map);
        if (alone || shared->magic != kMagic) {
            __atomic_store_n(&shared->magic, quint64{0}, __ATOMIC_RELEASE);
            pthread_mutexattr_t attr;
            pthread_mutexattr_init(&attr);
            pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
            pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
            // A second connection of the same thread is told so instead of waiting on itself.
            pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_ERRORCHECK);
            const bool made = pthread_mutex_init(&shared->mutex, &attr) == 0;
            pthread_mutexattr_destroy(&attr);
            if (made) {
                __atomic_store_n(&shared->magic, kMagic, __ATOMIC_RELEASE);
            }
        }
        if (__atomic_load_n(&shared->magic, __ATOMIC_ACQUIRE) == kMagic &&
            lockByte(fd, 1, F_RDLCK, false)) {
            shared_ = shared;
            fd_ = fd;
        } else {
            ::munmap(map, sizeof(Shared));
        }
    }
    lockByte(fd, 0, F_UNLCK, false);
    if (fd_ < 0) {
        ::close(fd);
    }
}

WriterQueue::~WriterQueue() {
    if (shared_) {
        leave();
        ::munmap(shared_, sizeof(Shared));
        ::close(fd_);  // ends this queue's hold on byte 1
    }
}

WriterQueue::Turn WriterQueue::take(int limitMs) {
    if (!shared_ || held_) {
        return Turn::Unordered;
    }
    timespec until{};
    ::clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += limitMs / 1000;
    until.tv_nsec += static_cast<long>(limitMs % 1000) * 1'000'000L;
    if (until.tv_nsec >= 1'000'000'000L) {
        ++until.tv_sec;
        until.tv_nsec -= 1'000'000'000L;
    }
    const int rc = pthread_mutex_clocklock(&shared_->mutex, CLOCK_MONOTONIC, &until);
    if (rc == EOWNERDEAD) {
        // The writer before died inside its turn; its transaction is the engine's to undo.
        pthread_mutex_consistent(&shared_->mutex);
    } else if (rc == ETIMEDOUT) {
        return Turn::TimedOut;
    } else if (rc != 0) {
        return Turn::Unordered;  // EDEADLK: this thread writes through another connection
    }
    held_ = true;
    return Turn::Taken;
}

void WriterQueue::leave() {
    if (held_) {
        held_ = false;
        pthread_mutex_unlock(&shared_->mutex);
        // A terminal going straight on to its next write would take the turn again before
        // the waiter just woken runs: queue-like order needs that waiter to go first.
        sched_yield();
    }
}

}  // namespace tq::engine
