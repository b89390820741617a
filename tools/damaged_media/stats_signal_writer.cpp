#include "damaged_media/stats_signal_writer.h"

#include <pthread.h>
#include <signal.h>

#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>

namespace salvorine::damaged_media {
namespace {

sigset_t StatsSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGUSR1);
  return set;
}

}  // namespace

void BlockStatsSignal() {
  const sigset_t set = StatsSignalSet();
  const int error = pthread_sigmask(SIG_BLOCK, &set, nullptr);
  if (error != 0) {
    throw std::runtime_error(std::string("cannot block SIGUSR1: ") + std::strerror(error));
  }
}

StatsSignalWriter::StatsSignalWriter(const ReadStats& stats, std::filesystem::path file)
    : stats_(stats), file_(std::move(file)), thread_([this] { Run(); }) {}

StatsSignalWriter::~StatsSignalWriter() { Stop(); }

void StatsSignalWriter::Stop() {
  if (!thread_.joinable()) {
    return;
  }
  stopping_.store(true);
  pthread_kill(thread_.native_handle(), SIGUSR1);
  thread_.join();
}

void StatsSignalWriter::Run() {
  const sigset_t set = StatsSignalSet();
  while (true) {
    int received = 0;
    const int error = sigwait(&set, &received);
    if (stopping_.load()) {
      return;
    }
    if (error != 0) {
      std::cerr << "damaged_fs: sigwait failed: " << std::strerror(error) << '\n';
      return;
    }
    try {
      WriteStatsFile(file_, stats_.Snapshot());
    } catch (const std::exception& failure) {
      std::cerr << "damaged_fs: " << failure.what() << '\n';
    }
  }
}

}  // namespace salvorine::damaged_media
