#include "testing/Golden.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "testing/Environment.h"

namespace Testing {

namespace {

std::string sourcePath(const std::string& path) { return required("GW_SOURCE_DIR") + "/" + path; }

bool rewriting() {
  const char* flag = std::getenv("GW_REWRITE_GOLDEN");
  return flag && std::string(flag) == "1";
}

std::string lineAt(const std::string& text, size_t at) {
  const size_t start = text.rfind('\n', at == 0 ? 0 : at - 1);
  const size_t from = start == std::string::npos || at == 0 ? 0 : start + 1;
  return text.substr(from, text.find('\n', from) - from);
}

}  // namespace

::testing::AssertionResult matchesGolden(const std::string& path, const std::string& actual) {
  const std::string file = sourcePath(path);
  if (rewriting()) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << actual;
    if (!out) return ::testing::AssertionFailure() << file << ": cannot rewrite";
    return ::testing::AssertionSuccess();
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) return ::testing::AssertionFailure() << file << ": cannot open (GW_REWRITE_GOLDEN=1 writes it)";
  std::ostringstream expected;
  expected << in.rdbuf();
  const std::string want = expected.str();
  if (want == actual) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < want.size() && at < actual.size() && want[at] == actual[at]) ++at;
  const size_t line = 1 + size_t(std::count(want.begin(), want.begin() + long(at), '\n'));
  return ::testing::AssertionFailure() << file << ":" << line << " differs\n  expected: " << lineAt(want, at)
                                       << "\n  actual:   " << lineAt(actual, at)
                                       << "\n(GW_REWRITE_GOLDEN=1 rewrites the file from the actual text)";
}

::testing::AssertionResult matchesScript(const std::string& path,
                                         const std::function<std::string(const std::string& input)>& run) {
  std::ifstream in(sourcePath(path), std::ios::binary);
  if (!in) return ::testing::AssertionFailure() << sourcePath(path) << ": cannot open";
  std::string actual;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') actual += line + "\n";
    if (line.rfind("> ", 0) == 0) actual += line + "\n" + run(line.substr(2));
  }
  return matchesGolden(path, actual);
}

std::string withoutRadioTimes(std::string text) {
  constexpr size_t TimeOfDay = 26;
  for (size_t at = text.find("rtp_ext["); at != std::string::npos; at = text.find("rtp_ext[", at + 1)) {
    const size_t time = text.find("] ", at) + 2;
    if (time < text.size() && text.size() - time > TimeOfDay) text.replace(time, TimeOfDay, "T");
  }
  return text;
}

}  // namespace Testing
