// One SNTP exchange per process: a UDP socket connected to the server and an 800 ms timer
// on the calling thread's event loop that alternates sending a request and reading a reply.

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
#include <array>
#include <cstring>
#include <string>

namespace {

constexpr int kIntervalMs = 800;
constexpr int kPacketSize = 48;
constexpr std::uint8_t kClientRequestByte0 = 0x23;  // leap indicator 0, version 4, client mode
// Bounds the datagrams skipped in one reading step, so that a flood cannot hold the loop.
constexpr int kMaxDatagramsPerStep = 64;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kFractionUnit = 4294967296.0;  // 2^32
constexpr double kDayCountOf1900 = 2.0;         // 1900-01-01 counted from 1899-12-30

enum Step { kIdle = 0, kReceive = 1, kSend = 2 };

struct Exchange {
    std::string host;
    std::int32_t port = 0;
    int socket = -1;
    QTimer* timer = nullptr;
    int step = kIdle;
    bool valid = false;
    std::array<std::uint32_t, 12> cache{};
    bool inTick = false;
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

/// A dotted IPv4 address is taken as it stands (no reverse lookup); anything else is looked
/// up as a host name, IPv4 only.
bool resolve(const std::string& host, sockaddr_in& address) {
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    if (host.empty()) {
        return false;
    }
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    sockaddr_in first{};
    std::memcpy(&first, found->ai_addr, sizeof first);
    address.sin_addr = first.sin_addr;
    ::freeaddrinfo(found);
    return true;
}

void accept(const std::uint8_t* packet) {
    for (std::size_t i = 0; i < state.cache.size(); ++i) {
        std::uint32_t word = 0;
        std::memcpy(&word, packet + 4 * i, sizeof word);
        // Words 0 and 3 (header bytes, reference identifier) are kept as they came.
        state.cache[i] = (i == 0 || i == 3) ? word : ntohl(word);
    }
    state.valid = true;
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
}

void onTick() {
    if (state.socket < 0) {
        return;
    }
    state.inTick = true;
    if (state.step == kReceive) {
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

    if (port < 1 || port > 65535) {
        return 0;
    }
    if (QAbstractEventDispatcher::instance() == nullptr) {
        return 0;  // no event loop on this thread: the timer could never run
    }
    sockaddr_in address{};
    if (!resolve(text, address)) {
        return 0;
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
    const double seconds = static_cast<double>(state.cache[10]);
    const double fraction = static_cast<double>(state.cache[11]);
    return seconds / kSecondsPerDay + kDayCountOf1900 + fraction / (kSecondsPerDay * kFractionUnit);
}

int16_t CloseNtpServer() {
    stopExchange();
    return 1;
}
}
