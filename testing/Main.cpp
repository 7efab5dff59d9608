// The tests' main. Under an emulator its words stand before the command line
// GoogleTest keeps, since a death test in the "threadsafe" style starts this
// program again from that line, and the kernel alone cannot run it.

#include <gtest/gtest.h>

#include "testing/Emulator.h"

int main(int argc, char** argv) {
  std::vector<std::string> words = Testing::emulator();
  words.insert(words.end(), argv, argv + argc);
  std::vector<char*> line;
  for (std::string& word : words) line.push_back(&word[0]);
  line.push_back(nullptr);
  int count = int(words.size());
  ::testing::InitGoogleTest(&count, line.data());
  return RUN_ALL_TESTS();
}
