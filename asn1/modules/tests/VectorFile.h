// Reader of the shared ASN.1 vector files: blocks of "key: value" lines with
// a multi-line value between "value:" and "end-value", separated by blank lines.
#pragma once

#include <string>
#include <vector>

namespace VectorFile {

struct Block {
  std::string file;
  int line = 0;  // where the block starts, for failure messages
  std::string id, type, note, flags, encoding, expect, reason;
  std::string value;  // the value text, lines joined with LF
  bool hasValue = false;
  std::string aper, uper, ber, data;  // hex
  bool hasBer = false;

  bool hasFlag(const std::string& flag) const;
};

// Every block of a file; throws std::runtime_error naming the line on a malformed block.
std::vector<Block> read(const std::string& path);

// Every "*.txt" file of a directory, sorted by name.
std::vector<std::string> listTextFiles(const std::string& dir);

std::vector<unsigned char> fromHex(const std::string& hex);
std::string toHex(const std::vector<unsigned char>& bytes);

}  // namespace VectorFile
