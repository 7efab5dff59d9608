// The configuration file: the text through the parser, then every subsection
// through the readers the daemon uses (traces, and a reader of each key kind).
// Values hold no line end; every line number lies within the text and grows
// in file order; the model takes heap in proportion to the text.
#include <algorithm>
#include <sstream>
#include <string>

#include "foundation/config/IniFile.h"
#include "foundation/config/IniReader.h"
#include "foundation/config/TraceCtl.h"
#include "fuzz/Fuzz.h"

namespace {

enum class Level : short { low = 1, high = 7 };
const IniFile::Symbol<Level> levels[] = {{"low", Level::low}, {"high", Level::high}, {nullptr, Level::low}};

void readAll(IniFile::SubSection& subSection) {
  Level level = Level::low;
  bool on = false;
  std::string name;
  std::ostringstream problems;
  IniFile::Reader reader("fuzz: ", problems);
  reader.required().add(&level, "level", levels);
  reader.optional().add(&on, "on");
  reader.optional().add(&name, "name");
  reader.parse(subSection);
}

void checkModel(IniFile::File& file, int lines) {
  for (IniFile::Section& section : file) {
    int last = 0;
    for (IniFile::SubSection& subSection : section) {
      Fuzz::expect(subSection.line() > last && subSection.line() <= lines, "a header's line is in the text, in order");
      last = subSection.line();
      for (IniFile::Key& key : subSection) {
        Fuzz::expect(key.name().find('\n') == std::string::npos, "a key name holds no line feed");
        for (IniFile::SubKey& subKey : key) {
          Fuzz::expect(subKey.line() >= subSection.line() && subKey.line() <= lines, "a key's line is in its section");
          Fuzz::expect(subKey.value().find_first_of("\r\n") == std::string::npos, "a value holds no line end");
          subKey.GetBool(false);
          subKey.GetInt(0);
          subKey.GetFloat(0);
        }
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Fuzz::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = Fuzz::text(data, size);
  Fuzz::HeapWatch heap;
  {
    IniFile::File file;
    std::istringstream in(text);
    in >> file;
    checkModel(file, int(std::count(text.begin(), text.end(), '\n')) + 1);
    TraceCtl traces;
    traces.Configure(file["traces"]);
    for (IniFile::Section& section : file)
      for (IniFile::SubSection& subSection : section) readAll(subSection);
  }
  heap.within(64 * 1024, 256, size, "the configuration model");
  return 0;
}
