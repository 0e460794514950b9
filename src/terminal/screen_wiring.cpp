#include "terminal/screen_wiring.h"

#include "terminal/export_screen.h"
#include "terminal/masters_screen.h"
#include "terminal/punch_screen.h"
#include "terminal/request_screen.h"
#include "terminal/terminal_window.h"

namespace tq {

void WireScreens(TerminalWindow& window) {
    // One line per screen: identification and punches, review, requests, staff master and
    // shift calendar, export.
    WirePunchScreen(window);
    WireRequestScreen(window, *FindPunchScreen(window));
    WireStaffMaster(window);
    WireExportScreen(window, *FindPunchScreen(window));
}

}  // namespace tq
