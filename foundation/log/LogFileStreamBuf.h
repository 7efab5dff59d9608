#pragma once
// A stream buffer that writes its lines into hourly log files
// ("<directory>/YYYY_mm_dd-HH.log"), each line behind the time stamp of the
// flush that wrote its start ("MM:SS:uuuuu: ").

#include <ctime>
#include <string>

#include "foundation/eventloop/Clock.h"
#include "foundation/log/AreaStreamBuf.h"
#include "foundation/os/Fd.h"

class LogFileStreamBuf : public AreaStreamBuf {
public:
  // The wall clock; replaceable so that an hour can pass without waiting.
  using WallClock = int (*)(Mux::timeval&);

  explicit LogFileStreamBuf(const std::string& directory, WallClock clock = Mux::gettimeval);
  ~LogFileStreamBuf() override;

protected:
  int sync() override;

private:
  void openFile(const std::tm& local);
  void put(const char* text, std::size_t length);

  Fd mFile;
  std::string mDirectory;
  WallClock mClock;
  int mHour = -1;
  bool mMidLine = false;
};
