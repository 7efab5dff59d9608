#pragma once
// The board's state as text files tell it: version files, the temperature,
// the framers' status texts and the configuration version held in the names
// of the configuration directory's files.

#include <cstdint>
#include <string>
#include <vector>

namespace BoardFiles {

// The first line of the file as fgets gives it into a zeroed 256-byte
// buffer with a limit of 255: at most 254 characters, the line end kept when
// it fits, "" when the file is empty. False when the file does not open.
bool readFirstLine(const std::string& path, std::string& line);

// The text up to its first blank (space, tab, line end, form feed, vertical tab).
std::string firstWord(const std::string& text);

// One read of at most 1024 bytes; false, with errno, when the file does not
// open, and when the read fails or gives nothing (`opened` tells which).
bool readStatusFile(const std::string& path, std::vector<unsigned char>& text, bool& opened);

// Scans the directory, which becomes the working directory, for files named
// "config." followed by two hexadecimal numbers (8 digits, one separator, 16
// digits), "config.2save.tar.bz2" excepted. The last such name read gives the
// numbers; a number that does not read keeps the one before (0 at first).
// False when the directory does not open or holds no such name.
bool readConfigVersion(const std::string& directory, uint32_t& first, uint64_t& second);

}  // namespace BoardFiles
