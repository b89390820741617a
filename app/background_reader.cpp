#include "app/background_reader.h"

#include <QEventLoop>
#include <QMetaObject>

#include <chrono>

namespace salvorine {
namespace {

using std::chrono::steady_clock;

// Reads reach the helper when the device must be asked; on a fast disk that
// takes less than waking a sleeping thread. Both sides therefore watch for a
// short while before they sleep: the caller for its result, the helper for
// the next request.
constexpr auto kWatchResult = std::chrono::microseconds(300);
constexpr auto kWatchRequest = std::chrono::microseconds(500);
// Reads that finish this fast never enter an event loop: healthy media stay fast.
constexpr auto kQuickRead = std::chrono::milliseconds(5);

// Spins without giving the processor away: a thread that yields on a busy
// machine may not run again for milliseconds.
template <typename Condition>
bool WatchFor(steady_clock::duration span, Condition condition) {
  const auto until = steady_clock::now() + span;
  while (!condition()) {
    if (steady_clock::now() >= until) return false;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  return true;
}

}  // namespace

struct BackgroundReader::Request {
  File& file;
  void* buffer;
  std::size_t count;
  ReadResult result{};
  std::atomic<bool> done{false};
  QEventLoop* loop = nullptr;  // set while the caller processes messages; guarded by the mutex
};

BackgroundReader::BackgroundReader() : worker_([this] { Work(); }) {}

BackgroundReader::~BackgroundReader() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  requested_.notify_all();
  worker_.join();
}

ReadResult BackgroundReader::Read(File& file, void* buffer, std::size_t count) {
  Request request{file, buffer, count};
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(&request);
    queued_.fetch_add(1, std::memory_order_release);
  }
  requested_.notify_one();
  const auto done = [&] { return request.done.load(std::memory_order_acquire); };
  if (WatchFor(kWatchResult, done)) return request.result;

  std::unique_lock lock(mutex_);
  if (!finished_.wait_for(lock, kQuickRead, done)) {
    QEventLoop loop;
    request.loop = &loop;
    lock.unlock();
    loop.exec();
    lock.lock();
    // The loop also ends when the application quits; the buffer is the
    // caller's, so wait for the read to finish whatever happens.
    finished_.wait(lock, done);
    request.loop = nullptr;
  }
  return request.result;
}

BackgroundReader::Request* BackgroundReader::NextRequest() {
  WatchFor(kWatchRequest, [this] { return queued_.load(std::memory_order_acquire) > 0; });
  std::unique_lock lock(mutex_);
  requested_.wait(lock, [this] { return !queue_.empty() || quit_; });
  if (quit_) return nullptr;
  Request* request = queue_.front();
  queue_.pop_front();
  queued_.fetch_sub(1, std::memory_order_relaxed);
  return request;
}

void BackgroundReader::Work() {
  while (Request* request = NextRequest()) {
    const ReadResult result = request->file.Read(request->buffer, request->count);
    std::lock_guard lock(mutex_);
    QEventLoop* loop = request->loop;
    request->result = result;
    // From here on the request may be gone: its caller can return without the lock.
    request->done.store(true, std::memory_order_release);
    // Posted under the lock: a caller in its loop cannot have left (and destroyed
    // the loop) before the quit is queued, and a destroyed loop drops it.
    if (loop != nullptr) QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
    finished_.notify_all();
  }
}

}  // namespace salvorine
