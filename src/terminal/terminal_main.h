#pragma once

namespace tq {

/// The terminal program: the window TQ5821 on the working directory, with the real clock,
/// message boxes, system names and network time library. Returns the exit code.
int TerminalMain(int argc, char** argv);

}  // namespace tq
