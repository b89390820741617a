#include "damaged_media/damaged_filesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <thread>

#include "damaged_media/pattern.h"
#include "damaged_media/read_faults.h"

namespace salvorine::damaged_media {
namespace {

constexpr blksize_t kSectorSize = 2048;  // what an optical disc reports

DamagedFilesystem& State() {
  return *static_cast<DamagedFilesystem*>(fuse_get_context()->private_data);
}

MediaNode* NodeOfHandle(const fuse_file_info* fi) {
  return reinterpret_cast<MediaNode*>(static_cast<uintptr_t>(fi->fh));
}

void* Init(fuse_conn_info* conn, fuse_config* config) {
  config->kernel_cache = 0;
  config->auto_cache = 0;
  config->direct_io = 1;
  DamagedFilesystem& state = State();
  if (state.max_read != 0) {
    conn->max_read = state.max_read;  // libfuse insists it matches -o max_read
  }
  // Started here rather than in main() because fuse_main() may fork into the
  // background first, and a thread does not survive a fork.
  if (state.trace_file) {
    state.trace = std::fopen(state.trace_file->c_str(), "w");
    if (state.trace == nullptr) {
      std::cerr << "damaged_fs: cannot create " << *state.trace_file << ": " << std::strerror(errno) << '\n';
    }
  }
  if (state.stats_file) {
    try {
      state.stats_signal_writer =
          std::make_unique<StatsSignalWriter>(state.stats, *state.stats_file);
    } catch (const std::exception& failure) {
      std::cerr << "damaged_fs: SIGUSR1 will not save the counts: " << failure.what() << '\n';
    }
  }
  return &state;
}

void Destroy(void* private_data) {
  auto& state = *static_cast<DamagedFilesystem*>(private_data);
  if (state.trace != nullptr && std::fclose(state.trace) != 0) {
    std::cerr << "damaged_fs: cannot write " << *state.trace_file << ": " << std::strerror(errno) << '\n';
    state.stats_file_failed = true;
  }
  state.trace = nullptr;
  if (!state.stats_file) {
    return;
  }
  if (state.stats_signal_writer) {
    state.stats_signal_writer->Stop();  // so no late snapshot overwrites the final counts
  }
  try {
    WriteStatsFile(*state.stats_file, state.stats.Snapshot());
  } catch (const std::exception& failure) {
    std::cerr << "damaged_fs: " << failure.what() << '\n';
    state.stats_file_failed = true;
  }
}

int GetAttr(const char* path, struct stat* st, fuse_file_info* /*fi*/) {
  DamagedFilesystem& state = State();
  const MediaNode* node = state.description.tree.FindMounted(path);
  if (node == nullptr) {
    return -ENOENT;
  }
  *st = {};
  st->st_uid = state.owner;
  st->st_gid = state.group;
  st->st_atime = st->st_mtime = st->st_ctime = state.created_at;
  if (node->is_dir) {
    st->st_mode = S_IFDIR | 0555;
    nlink_t links = 2;  // its name in the parent and its own "."
    for (const auto& entry : node->children) {
      if (entry.second->is_dir) {
        ++links;  // each subfolder's ".."
      }
    }
    st->st_nlink = links;
  } else {
    st->st_mode = S_IFREG | 0444;
    st->st_nlink = 1;
    st->st_size = static_cast<off_t>(node->size);
    st->st_blksize = kSectorSize;
    st->st_blocks = static_cast<blkcnt_t>((node->size + 511) / 512);
  }
  return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t /*offset*/,
            fuse_file_info* /*fi*/, fuse_readdir_flags /*flags*/) {
  const MediaNode* node = State().description.tree.FindMounted(path);
  if (node == nullptr) {
    return -ENOENT;
  }
  if (!node->is_dir) {
    return -ENOTDIR;
  }
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  for (const auto& entry : node->children) {
    if (fill(buffer, entry.first.c_str(), nullptr, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) {
      return -ENOMEM;
    }
  }
  return 0;
}

int Open(const char* path, fuse_file_info* fi) {
  MediaNode* node = State().description.tree.FindMounted(path);
  if (node == nullptr) {
    return -ENOENT;
  }
  if (node->is_dir) {
    return -EISDIR;
  }
  if ((fi->flags & O_ACCMODE) != O_RDONLY) {
    return -EROFS;
  }
  fi->fh = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(node));
  fi->direct_io = 1;
  fi->keep_cache = 0;
  return 0;
}

int Read(const char* /*path*/, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
  if (offset < 0) {
    return -EINVAL;
  }
  DamagedFilesystem& state = State();
  MediaNode& file = *NodeOfHandle(fi);
  const uint64_t begin = std::min(static_cast<uint64_t>(offset), file.size);
  const uint64_t end = std::min(file.size, begin + size);

  const ReadOutcome outcome =
      DecideRead(file.faults, begin, end, state.description.delay_bad_ms, state.description.bad_sector);
  if (outcome.wait_ms != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(outcome.wait_ms));
  }
  if (state.trace != nullptr) {
    std::fprintf(state.trace, "%llu %llu %d\n", static_cast<unsigned long long>(begin),
                 static_cast<unsigned long long>(end - begin), outcome.fails ? 0 : 1);
  }
  if (outcome.fails) {
    state.stats.CountRead(true, 0);
    return -EIO;
  }
  const auto served = static_cast<size_t>(end - begin);
  if (file.image_fd >= 0) {
    for (size_t done = 0; done < served;) {
      const ssize_t got = ::pread(file.image_fd, buffer + done, served - done, static_cast<off_t>(begin + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return got < 0 ? -errno : -EIO;
      done += static_cast<size_t>(got);
    }
  } else {
    FillPattern(file.seed, begin, reinterpret_cast<uint8_t*>(buffer), served);
  }
  state.stats.CountRead(false, served);
  return static_cast<int>(served);
}

int Release(const char* /*path*/, fuse_file_info* /*fi*/) { return 0; }

int RefuseWrite(const char* /*path*/, const char* /*buffer*/, size_t /*size*/, off_t /*offset*/,
                fuse_file_info* /*fi*/) {
  return -EROFS;
}

}  // namespace

fuse_operations DamagedFilesystemOperations() {
  fuse_operations operations{};
  operations.init = Init;
  operations.destroy = Destroy;
  operations.getattr = GetAttr;
  operations.readdir = ReadDir;
  operations.open = Open;
  operations.read = Read;
  operations.release = Release;
  operations.write = RefuseWrite;
  return operations;
}

}  // namespace salvorine::damaged_media
