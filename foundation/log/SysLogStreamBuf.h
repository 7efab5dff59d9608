#pragma once
// Stream buffers that turn a standard stream into syslog records, one record
// per line, all at the stream's own priority (facility and level).

#include <memory>
#include <streambuf>

class SysLogStreamBuf : public std::basic_streambuf<char> {
 public:
  // A facility code 0..23 and a level 0..7.
  SysLogStreamBuf(int facility, int level);
  ~SysLogStreamBuf() override;

  int priority() const { return mPriority; }

 protected:
  // Takes ownership of the area. Its last byte stays free for the NUL that
  // ends the pending text.
  std::streambuf* setbuf(char* area, std::streamsize size) override;
  int sync() override;
  int_type overflow(int_type c) override;

  // One line, without its line end.
  virtual void emit(const char* line);
  // The lines of one flush are all out.
  virtual void endBatch() {}

 private:
  void emptyArea();

  int mPriority;
  std::unique_ptr<char[]> mArea;
  std::streamsize mSize = 0;
};

// Sends its lines through the daemon's own syslog client, each flush as one batch.
class ManagedSysLogStreamBuf : public SysLogStreamBuf {
 public:
  ManagedSysLogStreamBuf(int facility, int level);
  ~ManagedSysLogStreamBuf() override;

 protected:
  void emit(const char* line) override;
  void endBatch() override;
};
