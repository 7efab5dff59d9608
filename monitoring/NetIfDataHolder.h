#pragma once
// The debounced running state of one network interface, found by its
// kernel index at start-up and sampled through interface requests. A value
// copied into the store's list; the publishing reads its fields.

#include <list>
#include <string>

class NetIfDataHolder {
public:
  NetIfDataHolder(int index, const std::string& name) : index(index), name(name) {}

  // Samples the interface's running flag once; true when the debounced
  // state changed. A socket or request failure is no sample.
  bool updateNetIf();
  // Adds one sample (0 or 1): running while two of the last three were;
  // true when that changed (the first sample always changes it).
  bool setNetIfStatus(int running);

  // The socket the interface requests go on, a raw packet socket; below 0,
  // with errno, when there is none.
  static int openSocket();

  // 1 running, 0 not, -1 not yet known.
  int running = -1;
  // 1 (up) while running, else 2 (down).
  int operStatus = 2;
  int adminStatus = 2;
  // The latest raw samples (0 or 1), oldest first, at most 3.
  std::list<int> samples;
  int index;
  // The name found at start-up; a later sample does not change it.
  std::string name;
};
