#include "testing/Emulator.h"

#include <cstdlib>
#include <sstream>

namespace Testing {

std::vector<std::string> emulator() {
  std::vector<std::string> words;
  const char* named = std::getenv("GW_EMULATOR");
  std::istringstream in(named ? named : "");
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

std::vector<std::string> commandLine(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> line = emulator();
  line.push_back(program);
  line.insert(line.end(), args.begin(), args.end());
  return line;
}

}  // namespace Testing
