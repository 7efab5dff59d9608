#include "foundation/os/Console.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace Console {

void SwitchToBinaryMode() {
  termios attributes;
  if (tcgetattr(STDIN_FILENO, &attributes) != 0) {
    std::cerr << "can't obtain terminal attributes" << std::endl;
    return;
  }
  attributes.c_lflag &= ~tcflag_t(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOPRT | ECHOCTL);
  if (tcsetattr(STDIN_FILENO, TCSADRAIN, &attributes) != 0) std::cerr << "can't set terminal attributes" << std::endl;
}

void SwitchToNonBlockMode() {
  int on = 1;
  if (ioctl(STDIN_FILENO, FIONBIO, &on) != 0) std::cerr << "can't switch terminal to blocked mode" << std::endl;
}

}  // namespace Console
