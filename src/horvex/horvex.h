#pragma once
// Horvex: an SNTP client that asks one time server every 1.6 s on the caller's event loop
// and hands out the last accepted answer as a date value (days since 1899-12-30, UTC).
// Unanswered, it slows down after 16 requests, doubling the gap up to 64 s.
//
// All three functions belong to one thread: the one whose event loop runs the exchange.
// Host names are looked up in the background; only the process's first lookup is waited
// for, 2 s at most.

#include <cstdint>

#if defined(HORVEX_BUILDING)
#define HORVEX_EXPORT __attribute__((visibility("default")))
#else
#define HORVEX_EXPORT
#endif

extern "C" {

/// Starts the exchange with host (dotted IPv4 address or name) and port; 1 on success, 0 on
/// failure. A call for the host and port already running leaves the exchange alone. A name
/// whose lookup is still running gives 0; a later call starts the exchange once it is known.
HORVEX_EXPORT int16_t SetNtpServer(const char* host, int32_t port);

/// The server's transmit time of the last accepted reply, or 0.0 while none is at hand.
/// Transmit seconds with the top bit clear belong to the era that starts in 2036.
HORVEX_EXPORT double GetNtpTime();

/// Stops the exchange; the last answer stays readable. Always 1.
HORVEX_EXPORT int16_t CloseNtpServer();
}
