#pragma once
// The screens of the other subsystems connect their behaviour to the window's controls here.

namespace tq {

class TerminalWindow;

/// Called once by the window's constructor, after every control exists and before start-up.
void WireScreens(TerminalWindow& window);

}  // namespace tq
