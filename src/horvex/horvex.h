#pragma once
// Horvex: an SNTP client that asks one time server every 1.6 s on the caller's event loop
// and hands out the last accepted answer as a date value (days since 1899-12-30, UTC).
//
// All three functions belong to one thread: the one whose event loop runs the exchange.

#include <cstdint>

#if defined(HORVEX_BUILDING)
#define HORVEX_EXPORT __attribute__((visibility("default")))
#else
#define HORVEX_EXPORT
#endif

extern "C" {

/// Starts the exchange with host (dotted IPv4 address or name) and port; 1 on success, 0 on
/// failure. A call for the host and port already running leaves the exchange alone.
HORVEX_EXPORT int16_t SetNtpServer(const char* host, int32_t port);

/// The server's transmit time of the last accepted reply, or 0.0 while none is at hand.
HORVEX_EXPORT double GetNtpTime();

/// Stops the exchange; the last answer stays readable. Always 1.
HORVEX_EXPORT int16_t CloseNtpServer();
}
