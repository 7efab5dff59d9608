#pragma once
// Stream buffers that turn a standard stream into syslog records, one record
// per line, all at the stream's own priority (facility and level).

#include "foundation/log/AreaStreamBuf.h"

class SysLogStreamBuf : public AreaStreamBuf {
public:
  // A facility code 0..23 and a level 0..7.
  SysLogStreamBuf(int facility, int level);
  ~SysLogStreamBuf() override;

  int priority() const { return mPriority; }

protected:
  int sync() override;

  // One line, without its line end.
  virtual void emit(const char* line);
  // The lines of one flush are all out.
  virtual void endBatch() {}

private:
  int mPriority;
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
