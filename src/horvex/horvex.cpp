// One SNTP exchange per process: a UDP socket connected to the server and an 800 ms timer
// on the calling thread's event loop that alternates sending a request and reading a reply.
// A host name is looked up on a thread of its own, so that a name server that never answers
// cannot hold the caller's event loop: only the very first lookup is waited for, 2 s at most.

#include "horvex.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr int kIntervalMs = 800;
constexpr int kPacketSize = 48;
constexpr std::uint8_t kClientRequestByte0 = 0x23;  // leap indicator 0, version 4, client mode
// Bounds the datagrams skipped in one reading step, so that a flood cannot hold the loop.
constexpr int kMaxDatagramsPerStep = 64;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kFractionUnit = 4294967296.0;  // 2^32
constexpr double kDayCountOf1900 = 2.0;         // 1900-01-01 counted from 1899-12-30
// Transmit seconds with the top bit clear count from 2036-02-07 06:28:16 UTC (era 1).
constexpr std::uint32_t kEraZeroBit = 0x80000000u;
constexpr double kSecondsPerEra = 4294967296.0;

// Unanswered, requests keep the 1.6 s cadence (two ticks apart) for the first 16; then the
// gap doubles up to 64 s (80 ticks), as a polite SNTP client backs off.
constexpr int kRequestsAtFullCadence = 16;
constexpr int kNormalGapTicks = 2;
constexpr int kLongestGapTicks = 80;
// The first lookup of the process may hold its caller this long; no later one holds it.
constexpr auto kFirstLookupWait = std::chrono::seconds(2);

enum Step { kIdle = 0, kReceive = 1, kSend = 2 };

/// One name lookup, filled in by its own thread.
struct Lookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool found = false;
    in_addr address{};
};

struct Exchange {
    std::string host;
    std::int32_t port = 0;
    int socket = -1;
    QTimer* timer = nullptr;
    int step = kIdle;
    bool valid = false;
    std::array<std::uint32_t, 12> cache{};
    bool inTick = false;
    int unanswered = 0;      ///< requests sent since the last accepted reply
    int ticksUntilSend = 0;  ///< reading ticks left before the next request goes out
    std::string lookupHost;  ///< the name `lookup` is for
    std::shared_ptr<Lookup> lookup;
    bool lookedUpBefore = false;
};

Exchange state;

bool running() {
    return state.timer != nullptr;
}

/// Closes the socket and ends the timer. Inside the timer's own callback the timer object is
/// released once the callback has returned.
void stopExchange() {
    if (state.timer != nullptr) {
        state.timer->stop();
        if (state.inTick) {
            state.timer->deleteLater();
        } else {
            delete state.timer;
        }
        state.timer = nullptr;
    }
    if (state.socket >= 0) {
        ::close(state.socket);
        state.socket = -1;
    }
}

/// Looks a host name up (IPv4 only); blocks for as long as the name servers take.
bool lookUpName(const std::string& host, in_addr& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    address = first.sin_addr;
    ::freeaddrinfo(found);
    return true;
}

/// Starts looking `host` up on a thread of its own. The thread only ever touches the lookup
/// it was given, which outlives it; a lookup nobody waits for any more simply ends unread.
std::shared_ptr<Lookup> startLookup(const std::string& host) {
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host] {
            in_addr address{};
            const bool found = lookUpName(host, address);
            {
                const std::lock_guard<std::mutex> lock(lookup->mutex);
                lookup->done = true;
                lookup->found = found;
                lookup->address = address;
            }
            lookup->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return nullptr;  // no thread to be had: counts as a failed lookup
    }
    return lookup;
}

enum class Resolved { kFound, kPending, kFailed };

/// A dotted IPv4 address is taken as it stands (no reverse lookup); anything else is looked
/// up as a host name, IPv4 only, in the background. The process's first lookup is waited
/// for up to 2 s; after that a call only collects a finished lookup (or starts one) and
/// never waits. A finished lookup is used once: a later call looks the name up afresh.
Resolved resolve(const std::string& host, sockaddr_in& address) {
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    if (host.empty()) {
        return Resolved::kFailed;
    }
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1) {
        return Resolved::kFound;
    }
    if (!state.lookup || state.lookupHost != host) {
        const bool first = !state.lookedUpBefore;
        state.lookedUpBefore = true;
        state.lookupHost = host;
        state.lookup = startLookup(host);
        if (!state.lookup) {
            return Resolved::kFailed;
        }
        if (first) {
            std::unique_lock<std::mutex> lock(state.lookup->mutex);
            state.lookup->finished.wait_for(lock, kFirstLookupWait,
                                            [] { return state.lookup->done; });
        }
    }
    bool done = false;
    bool found = false;
    {
        const std::lock_guard<std::mutex> lock(state.lookup->mutex);
        done = state.lookup->done;
        found = state.lookup->found;
        address.sin_addr = state.lookup->address;
    }
    if (!done) {
        return Resolved::kPending;
    }
    state.lookup.reset();
    state.lookupHost.clear();
    return found ? Resolved::kFound : Resolved::kFailed;
}

/// The reading ticks between this request and the next, by how many went unanswered.
int gapAfterRequest(int unanswered) {
    if (unanswered < kRequestsAtFullCadence) {
        return kNormalGapTicks;
    }
    const int doublings = std::min(unanswered - kRequestsAtFullCadence + 1, 6);
    return std::min(kNormalGapTicks << doublings, kLongestGapTicks);
}

void accept(const std::uint8_t* packet) {
    for (std::size_t i = 0; i < state.cache.size(); ++i) {
        std::uint32_t word = 0;
        std::memcpy(&word, packet + 4 * i, sizeof word);
        // Words 0 and 3 (header bytes, reference identifier) are kept as they came.
        state.cache[i] = (i == 0 || i == 3) ? word : ntohl(word);
    }
    state.valid = true;
    state.unanswered = 0;
    state.ticksUntilSend = 0;  // answered: back to the 1.6 s cadence
}

bool transmitTimeIsZero(const std::uint8_t* packet) {
    return std::all_of(packet + 40, packet + kPacketSize, [](std::uint8_t b) { return b == 0; });
}

/// Reads the reply that is waiting, if any. Datagrams too short to be a reply are dropped:
/// the socket reports the size of the next datagram only, so one left in place would hide
/// every later reply.
void receiveStep() {
    state.step = kSend;
    state.valid = false;
    for (int i = 0; i < kMaxDatagramsPerStep; ++i) {
        int waiting = 0;
        if (::ioctl(state.socket, FIONREAD, &waiting) != 0) {
            return;
        }
        if (waiting < kPacketSize) {
            std::uint8_t scrap[kPacketSize];
            if (::recv(state.socket, scrap, sizeof scrap, MSG_DONTWAIT) < 0) {
                return;  // nothing waiting at all
            }
            continue;
        }
        std::uint8_t packet[kPacketSize];
        const ssize_t got = ::recv(state.socket, packet, sizeof packet, MSG_DONTWAIT);
        if (got != kPacketSize) {
            return;
        }
        if ((packet[0] >> 6) != 0) {
            return;  // the server's clock is not synchronised
        }
        if (transmitTimeIsZero(packet)) {
            return;  // a server that does not know the time either
        }
        accept(packet);
        return;
    }
}

void sendStep() {
    // An earlier request's "port unreachable" is reported on the next call on a connected
    // socket; it says nothing about this request, so it is collected and dropped first.
    int pending = 0;
    socklen_t length = sizeof pending;
    ::getsockopt(state.socket, SOL_SOCKET, SO_ERROR, &pending, &length);

    std::uint8_t request[kPacketSize] = {};
    request[0] = kClientRequestByte0;
    if (::send(state.socket, request, sizeof request, MSG_NOSIGNAL) != kPacketSize) {
        stopExchange();
        state.valid = false;
        return;
    }
    state.step = kReceive;
    ++state.unanswered;
    state.ticksUntilSend = gapAfterRequest(state.unanswered) - 1;
}

/// Every tick reads, except the one on which the next request is due.
void onTick() {
    if (state.socket < 0) {
        return;
    }
    state.inTick = true;
    if (state.ticksUntilSend > 0) {
        --state.ticksUntilSend;
        receiveStep();
    } else {
        sendStep();
    }
    state.inTick = false;
}

}  // namespace

extern "C" {

int16_t SetNtpServer(const char* host, int32_t port) {
    const std::string text = host != nullptr ? std::string(host) : std::string();
    if (running() && text == state.host && port == state.port) {
        return 1;  // the exchange with this server goes on undisturbed
    }
    stopExchange();
    state.host = text;
    state.port = port;
    state.cache.fill(0);
    state.valid = false;
    state.step = kIdle;
    state.unanswered = 0;
    state.ticksUntilSend = 0;

    if (port < 1 || port > 65535) {
        return 0;
    }
    if (QAbstractEventDispatcher::instance() == nullptr) {
        return 0;  // no event loop on this thread: the timer could never run
    }
    sockaddr_in address{};
    if (resolve(text, address) != Resolved::kFound) {
        return 0;  // not (yet) known; a later call collects a lookup still running
    }
    address.sin_port = htons(static_cast<std::uint16_t>(port));

    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return 0;
    }
    state.socket = fd;
    state.timer = new QTimer();
    state.timer->setTimerType(Qt::PreciseTimer);
    state.timer->setInterval(kIntervalMs);
    QObject::connect(state.timer, &QTimer::timeout, &onTick);
    state.timer->start();
    return 1;
}

double GetNtpTime() {
    if (!state.valid) {
        return 0.0;
    }
    double seconds = static_cast<double>(state.cache[10]);
    if ((state.cache[10] & kEraZeroBit) == 0) {
        seconds += kSecondsPerEra;  // after 2036-02-07 06:28:16 UTC
    }
    const double fraction = static_cast<double>(state.cache[11]);
    return seconds / kSecondsPerDay + kDayCountOf1900 + fraction / (kSecondsPerDay * kFractionUnit);
}

int16_t CloseNtpServer() {
    stopExchange();
    return 1;
}
}
