#include "app/background_reader.h"

#include <QEventLoop>
#include <QMetaObject>

#include <chrono>

namespace salvorine {
namespace {

// Reads that finish this fast never enter an event loop: healthy media stay fast.
constexpr auto kQuickRead = std::chrono::milliseconds(5);

}  // namespace

BackgroundReader::BackgroundReader() : worker_([this] { Work(); }) {}

BackgroundReader::~BackgroundReader() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

ReadResult BackgroundReader::Read(File& file, void* buffer, std::size_t count) {
  QEventLoop loop;
  std::unique_lock lock(mutex_);
  file_ = &file;
  buffer_ = buffer;
  count_ = count;
  done_ = false;
  pending_ = true;
  waiting_loop_ = &loop;
  changed_.notify_all();
  if (!changed_.wait_for(lock, kQuickRead, [this] { return done_; })) {
    lock.unlock();
    loop.exec();
    lock.lock();
    // The loop also ends when the application quits; the buffer is the
    // caller's, so wait for the read to finish whatever happens.
    changed_.wait(lock, [this] { return done_; });
  }
  waiting_loop_ = nullptr;
  return result_;
}

void BackgroundReader::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_ || quit_; });
    if (quit_) return;
    pending_ = false;
    File* file = file_;
    void* buffer = buffer_;
    const std::size_t count = count_;
    lock.unlock();
    const ReadResult result = file->Read(buffer, count);
    lock.lock();
    result_ = result;
    done_ = true;
    QMetaObject::invokeMethod(waiting_loop_, &QEventLoop::quit, Qt::QueuedConnection);
    changed_.notify_all();
  }
}

}  // namespace salvorine
