#pragma once
// The controlling terminal on standard input.

namespace Console {

// No line editing and no echo (signals from the keyboard stay).
void SwitchToBinaryMode();
void SwitchToNonBlockMode();

}  // namespace Console
