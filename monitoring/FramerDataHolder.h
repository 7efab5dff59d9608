#pragma once
// The last known state of one E1 framer: the status text its driver
// publishes, or the state the controller's trunk-status signals gave.
// A value copied into the store's list; the publishing reads its fields.

#include <string>
#include <vector>

#include "asn1/modules/ACP.h"

class FramerDataHolder {
public:
  FramerDataHolder(int number, const std::string& path) : number(number), path(path) {}

  // The contents of the driver's status file (what one read gave): each
  // labelled line sets its field, a label on several lines the last one
  // wins. True when any field changed.
  bool setFramerStatus(const std::vector<unsigned char>& text);
  // A trunk-status signal's state, as its status text; true when that text
  // changed. The loss flags and slip counts stay.
  bool setFramerStatus(const ACP::TrunkState& state);

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

private:
  bool setStatusText(const std::string& text);
  void parseLine(const std::string& line, bool& changed);
};
