// Built for the host: the copy at a child program's path when the tests run
// under an emulator. The daemon starts the copy, and the kernel cannot start
// the target's stand-in there, so this starts it through the emulator
// (GW_EMULATOR) from where the build put it (GW_STANDIN_TARGET), with the
// command line as given, its first word included, and this copy's path as
// the stand-in's own (GW_STANDIN_PATH): its log and steps lie beside it.

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char* argv[]) {
  const char* emulator = std::getenv("GW_EMULATOR");
  const char* standIn = std::getenv("GW_STANDIN_TARGET");
  char self[4096] = {};
  if (!emulator || !standIn || ::readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return 127;
  std::vector<std::string> words;
  std::istringstream in(emulator);
  for (std::string word; in >> word;) words.push_back(word);
  words.insert(words.end(), {"-0", argv[0], "-E", std::string("GW_STANDIN_PATH=") + self, standIn});
  words.insert(words.end(), argv + 1, argv + argc);
  std::vector<char*> line;
  for (std::string& word : words) line.push_back(&word[0]);
  line.push_back(nullptr);
  ::execv(line[0], line.data());
  return 127;
}
