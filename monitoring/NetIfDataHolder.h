#pragma once
// The debounced running state of one network interface, found by its
// kernel index at start-up. A value copied into the store's list; the
// publishing reads its fields.

#include <list>
#include <string>

class NetIfDataHolder {
public:
  NetIfDataHolder(int index, const std::string& name) : index(index), name(name) {}

  // 1 running, 0 not, -1 not yet known.
  int running = -1;
  // 1 (up) while running, else 2 (down).
  int operStatus = 2;
  int adminStatus = 2;
  // The latest raw samples (0 or 1), oldest first, at most 3.
  std::list<int> samples;
  int index;
  std::string name;
};
