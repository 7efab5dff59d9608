#pragma once
// A stream buffer that writes its lines into hourly log files
// ("<directory>/YYYY_mm_dd-HH.log"), each line behind the time stamp of the
// flush that wrote its start ("MM:SS:uuuuu: ").

#include <ctime>
#include <memory>
#include <streambuf>
#include <string>

#include "foundation/eventloop/Clock.h"
#include "foundation/os/Fd.h"

class LogFileStreamBuf : public std::basic_streambuf<char> {
 public:
  // The wall clock; replaceable so that an hour can pass without waiting.
  using WallClock = int (*)(Mux::timeval&);

  explicit LogFileStreamBuf(const std::string& directory, WallClock clock = Mux::gettimeval);
  ~LogFileStreamBuf() override;

 protected:
  // Takes ownership of the area; all of it is usable.
  std::streambuf* setbuf(char* area, std::streamsize size) override;
  int sync() override;
  int_type overflow(int_type c) override;

 private:
  void openFile(const std::tm& local);
  void put(const char* text, std::size_t length);
  void emptyArea() { setp(mArea.get(), mArea.get() + mSize); }

  Fd mFile;
  std::string mDirectory;
  WallClock mClock;
  int mHour = -1;
  bool mMidLine = false;
  std::unique_ptr<char[]> mArea;
  std::streamsize mSize = 0;
};
