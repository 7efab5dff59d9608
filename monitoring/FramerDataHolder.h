#pragma once
// The last known state of one E1 framer: the status text its driver
// publishes, or the state the controller's trunk-status signals gave.
// A value copied into the store's list; the publishing reads its fields.

#include <string>

class FramerDataHolder {
public:
  FramerDataHolder(int number, const std::string& path) : number(number), path(path) {}

  // A carrier: false exactly while the status text is "No Carrier".
  bool connected = false;
  std::string status = "absent";
  bool signalLoss = true;
  bool frameAlignLoss = true;
  int negSlips = 0;
  int posSlips = 0;
  // 1..4: the trunk index plus 1.
  int number;
  // The driver's status file.
  std::string path;
};
