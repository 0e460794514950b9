// A name server that does not answer, for the tests: linked into a test program (or preloaded
// into the terminal with LD_PRELOAD) it takes the place of getaddrinfo for names ending in
// ".resolver.test" and hands every other name to the real one.
//
//   never.resolver.test            never answers (the caller's thread waits for good)
//   after-<ms>.resolver.test       answers 127.0.0.1 after <ms> milliseconds
//   fail-after-<ms>.resolver.test  gives up after <ms> milliseconds, as a timed-out lookup

#include "stall_resolver.h"

#include <dlfcn.h>
#include <netdb.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

std::atomic<int> lookups{0};

using GetAddrInfoFn = int (*)(const char*, const char*, const addrinfo*, addrinfo**);

GetAddrInfoFn realGetAddrInfo() {
    static const auto fn = reinterpret_cast<GetAddrInfoFn>(::dlsym(RTLD_NEXT, "getaddrinfo"));
    return fn;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

/// The number after `prefix` at the start of `name`, or -1.
long delayAfter(const std::string& name, const std::string& prefix) {
    if (name.rfind(prefix, 0) != 0) {
        return -1;
    }
    return std::strtol(name.c_str() + prefix.size(), nullptr, 10);
}

}  // namespace

extern "C" {

int tq582StalledLookups() {
    return lookups.load();
}

int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** res) {
    const std::string name = node != nullptr ? node : "";
    if (!endsWith(name, ".resolver.test")) {
        return realGetAddrInfo()(node, service, hints, res);
    }
    ++lookups;
    if (name == "never.resolver.test") {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    }
    if (const long ms = delayAfter(name, "fail-after-"); ms >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return EAI_AGAIN;
    }
    if (const long ms = delayAfter(name, "after-"); ms >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return realGetAddrInfo()("127.0.0.1", service, hints, res);
    }
    return EAI_NONAME;
}
}
