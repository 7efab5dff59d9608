#include "VectorFile.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "testing/Environment.h"

namespace VectorFile {

bool Block::hasFlag(const std::string& flag) const {
  std::istringstream words(flags);
  std::string word;
  while (words >> word)
    if (word == flag) return true;
  return false;
}

namespace {

[[noreturn]] void malformed(const std::string& path, int line, const std::string& why) {
  throw std::runtime_error(path + ":" + std::to_string(line) + ": " + why);
}

void setKey(Block& b, const std::string& key, const std::string& val, const std::string& path, int line) {
  static const struct {
    const char* key;
    std::string Block::*field;
  } keys[] = {
      {"id", &Block::id},         {"type", &Block::type},         {"note", &Block::note},
      {"flags", &Block::flags},   {"encoding", &Block::encoding}, {"expect", &Block::expect},
      {"reason", &Block::reason}, {"aper", &Block::aper},         {"uper", &Block::uper},
      {"ber", &Block::ber},       {"data", &Block::data},
  };
  for (const auto& k : keys) {
    if (key == k.key) {
      b.*k.field = val;
      if (key == "ber") b.hasBer = true;
      if (key == "data") b.hasData = true;
      return;
    }
  }
  malformed(path, line, "unknown key \"" + key + "\"");
}

}  // namespace

std::vector<Block> read(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error(path + ": cannot open");
  std::vector<Block> blocks;
  Block current;
  bool open = false;
  std::string text;
  int lineNo = 0;
  auto close = [&] {
    if (!open) return;
    if (current.id.empty() || current.type.empty()) malformed(path, current.line, "block without id or type");
    if (current.encoding.empty() && current.aper.empty() && current.uper.empty() && !current.hasBer) {
      malformed(path, current.line, "vector without an encoding line");
    }
    if (!current.encoding.empty() && !current.hasData) malformed(path, current.line, "frame without data");
    blocks.push_back(current);
    current = Block();
    open = false;
  };
  while (std::getline(in, text)) {
    ++lineNo;
    if (!text.empty() && text[0] == '#') continue;
    if (text.empty()) {
      close();
      continue;
    }
    if (!open) {
      open = true;
      current.file = path;
      current.line = lineNo;
    }
    if (text == "value:") {
      std::string body, sep;
      const int start = lineNo;
      while (true) {
        if (!std::getline(in, text)) malformed(path, start, "value without end-value");
        ++lineNo;
        if (text == "end-value") break;
        body += sep + text;
        sep = "\n";
      }
      current.value = body;
      current.hasValue = true;
      continue;
    }
    const auto colon = text.find(':');
    if (colon == std::string::npos) malformed(path, lineNo, "line without a key");
    std::string val = text.substr(colon + 1);
    if (!val.empty() && val[0] == ' ') val.erase(0, 1);
    setKey(current, text.substr(0, colon), val, path, lineNo);
  }
  close();
  if (blocks.empty()) throw std::runtime_error(path + ": no vector");
  return blocks;
}

std::vector<std::string> listTextFiles(const std::string& dir) {
  std::vector<std::string> files;
  DIR* d = opendir(dir.c_str());
  if (!d) throw std::runtime_error(dir + ": cannot open the directory");
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0) files.push_back(dir + "/" + name);
  }
  closedir(d);
  if (files.empty()) throw std::runtime_error(dir + ": no vector file");
  std::sort(files.begin(), files.end());
  return files;
}

std::string directory() {
  if (const char* dir = std::getenv("GW_ASN1_VECTORS")) return dir;
  return ownDirectory();
}

std::string ownDirectory() { return Testing::required("GW_SOURCE_DIR") + "/asn1/modules/tests/vectors"; }

const Block& named(const std::string& id) {
  static const std::map<std::string, Block> set = [] {
    std::map<std::string, Block> byId;
    for (const std::string& path : listTextFiles(ownDirectory()))
      for (Block& block : read(path)) byId.emplace(block.id, std::move(block));
    return byId;
  }();
  const auto found = set.find(id);
  if (found == set.end()) throw std::runtime_error(ownDirectory() + ": no vector " + id);
  return found->second;
}

}  // namespace VectorFile
