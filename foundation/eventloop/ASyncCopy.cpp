#include "foundation/eventloop/ASyncCopy.h"

#include <cerrno>

#include "board/Board.h"

namespace ASync {

namespace {
constexpr short Trouble = POLLERR | POLLHUP | POLLNVAL;
}

Copy::~Copy() { delete mHandler; }

void Copy::Bind(Handler* handler) {
  delete mHandler;
  mHandler = handler;
}

bool Copy::active() const {
  return mState == Status::Copying || mState == Status::SourceEnded || mState == Status::Flushing;
}

int Copy::Start(Fd source, Fd destination) {
  mState = Status::Copying;
  mSource = std::move(source);
  mDestination = std::move(destination);
  mSrcEvent.Release();
  mDstEvent.Release();
  mSrcEvent.Bind("Copy::OnSrcEvent", &Copy::OnSrcEvent, this);
  mDstEvent.Bind("Copy::OnDstEvent", &Copy::OnDstEvent, this);
  if (!mBuffer) mBuffer.reset(new char[mBufSize]);
  mSrcEvent.Schedule(mSource, 0);
  mDstEvent.Schedule(mDestination, 0);
  mError = 0;
  mTotal = 0;
  mStep = Step::SrcReady;
  progress();
  return 0;
}

void Copy::Stop() {
  if (mState == Status::Copying && goFlush()) progress();
}

void Copy::set_events(const EventsParams& masks) {
  mMasks = masks;
  if (active()) complete(Status::Aborted);
}

void Copy::set_bufsize(unsigned size) {
  mBufSize = size;
  mBuffer.reset(new char[size]);
  if (active()) complete(Status::Aborted);
}

void Copy::progress() {
  for (bool again = true; again;) {
    switch (mStep) {
      case Step::SrcReady: again = srcReady(); break;
      case Step::DstReady: again = dstReady(); break;
      case Step::NotReady: again = false; break;
    }
  }
}

bool Copy::srcReady() {
  errno = 0;
  const ssize_t count = Board::read(mSource.get(), mBuffer.get(), mBufSize);
  if (count > 0) {
    mWritePos = 0;
    mDataEnd = static_cast<std::size_t>(count);
    mSrcEvent.set_mask(0);
    mDstEvent.set_mask(mMasks.destination);
    mStep = Step::DstReady;
    return true;
  }
  if (count == 0) return goFlush();
  if (errno == EINTR) return true;
  if (errno == EAGAIN) {
    mSrcEvent.set_mask(mMasks.source);
    mDstEvent.set_mask(0);
    return false;
  }
  // A source that fails after some bytes went out has simply ended.
  if (mTotal > 0) return goFlush();
  complete(Status::Failed);
  return false;
}

bool Copy::dstReady() {
  const ssize_t count = Board::write(mDestination.get(), mBuffer.get() + mWritePos, mDataEnd - mWritePos);
  if (count < 0) {
    if (errno == EINTR) return true;
    if (errno == EAGAIN) {
      mSrcEvent.set_mask(0);
      mDstEvent.set_mask(mMasks.destination);
      return false;
    }
    mError = errno;
    complete(Status::Failed);
    return false;
  }
  if (count == 0) {
    mError = 0;
    complete(Status::Failed);
    return false;
  }
  mTotal += static_cast<unsigned>(count);
  mWritePos += static_cast<std::size_t>(count);
  if (mWritePos < mDataEnd) return true;
  if (mState == Status::SourceEnded) return goFlushDst();
  goReading();
  return true;
}

void Copy::goReading() {
  mSrcEvent.set_mask(mMasks.source);
  mDstEvent.set_mask(0);
  mStep = Step::SrcReady;
}

bool Copy::goFlush() {
  mSrcEvent.Release();
  mSource.close();
  if (mStep == Step::DstReady) {
    mState = Status::SourceEnded;
    return true;
  }
  return goFlushDst();
}

bool Copy::goFlushDst() {
  if (mMasks.flush == 0) {
    complete(Status::Done);
    return false;
  }
  mDstEvent.set_mask(mMasks.flush);
  mStep = Step::NotReady;
  mState = Status::Flushing;
  return true;
}

void Copy::OnSrcEvent(int, short revents) {
  if (revents & mSrcEvent.mask()) {
    progress();
  } else if (revents & Trouble) {
    // The read that follows sees the end of input or the error.
    mSrcEvent.Release();
    progress();
  }
}

void Copy::OnDstEvent(int, short revents) {
  if (revents & Trouble) {
    mError = 0;
    complete(Status::Failed);
  } else if (mState == Status::Copying || mState == Status::SourceEnded) {
    if (revents & mDstEvent.mask()) progress();
  } else if (mState == Status::Flushing) {
    if (revents & mMasks.flush) complete(Status::Done);
  }
}

void Copy::complete(Status::Type status) {
  if (!active()) return;
  mSrcEvent.UnBind();
  mDstEvent.UnBind();
  mState = status;
  mSrcEvent.Release();
  mDstEvent.Release();
  mSource.close();
  mDestination.close();
  mStep = Step::NotReady;
  // Last: the handler may destroy this copy.
  if (mHandler) mHandler->Invoke(status);
}

}  // namespace ASync
