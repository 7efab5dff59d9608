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
  bool hasData = false;  // a frame may be empty

  bool hasFlag(const std::string& flag) const;
};

// Every block of a file; throws std::runtime_error naming the line on a
// malformed block, a value without any encoding line, or a file without a block.
std::vector<Block> read(const std::string& path);

// Every "*.txt" file of a directory, sorted by name; throws when there is none.
std::vector<std::string> listTextFiles(const std::string& dir);

// The set the vector tests check, every vector of it: $GW_ASN1_VECTORS when
// set, else the tree's own set.
std::string directory();

// The tree's own set, kept beside these tests ($GW_SOURCE_DIR locates the
// source tree; unset, the program ends with one line naming it).
std::string ownDirectory();

// A vector of the tree's own set by its id, for tests that take one as a
// fixture; $GW_ASN1_VECTORS never moves it. Throws std::runtime_error when
// the set holds no such vector.
const Block& named(const std::string& id);

}  // namespace VectorFile
