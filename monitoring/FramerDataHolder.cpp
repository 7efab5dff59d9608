#include "monitoring/FramerDataHolder.h"

#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace {

constexpr const char* NoCarrier = "No Carrier";

// The labels of the driver's status lines; the value is the rest of the line.
enum Label { CurrentState, LossOfSignal, LossOfFrameAlignment, SlipNegative, SlipPositive };
const char* const labels[] = {
    "Current state           : ", "Loss of Signal          : ", "Loss of Frame Alignment : ",
    "Receive Slip Negative   : ", "Receive Slip Positive   : ",
};

// The status text of each trunk state; a state beyond them reads "Unknown".
const char* const stateTexts[] = {"Synchronized", "FAS Loss", NoCarrier, "AIS", "RAI"};

template <class T>
bool update(T& field, T value) {
  if (field == value) return false;
  field = value;
  return true;
}

// A decimal count as the 32-bit driver prints it: digits after optional
// blanks and sign, 0 without any, held to the 32-bit range.
int slipCount(const std::string& value) {
  const long long n = std::strtoll(value.c_str(), nullptr, 10);
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return int(n);
}

}  // namespace

bool FramerDataHolder::setStatusText(const std::string& text) {
  if (text == status) return false;
  status = text;
  connected = text != NoCarrier;
  return true;
}

void FramerDataHolder::parseLine(const std::string& line, bool& changed) {
  for (int label = CurrentState; label <= SlipPositive; ++label) {
    const std::string::size_type at = line.find(labels[label]);
    if (at == std::string::npos) continue;
    const std::string value = line.substr(at + std::char_traits<char>::length(labels[label]));
    switch (label) {
      case CurrentState: changed |= setStatusText(value); break;
      case LossOfSignal: changed |= update(signalLoss, value == "yes"); break;
      case LossOfFrameAlignment: changed |= update(frameAlignLoss, value == "yes"); break;
      case SlipNegative: changed |= update(negSlips, slipCount(value)); break;
      case SlipPositive: changed |= update(posSlips, slipCount(value)); break;
    }
  }
}

bool FramerDataHolder::setFramerStatus(const std::vector<unsigned char>& text) {
  bool changed = false;
  std::string::size_type start = 0;
  const std::string all(text.begin(), text.end());
  // A last line without a line end counts as well.
  while (start < all.size()) {
    std::string::size_type end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    parseLine(all.substr(start, end - start), changed);
    start = end + 1;
  }
  return changed;
}

bool FramerDataHolder::setFramerStatus(const ACP::TrunkState& state) {
  const int value = state.getValue();
  const bool known = value >= 0 && value < int(std::size(stateTexts));
  return setStatusText(known ? stateTexts[value] : "Unknown");
}
