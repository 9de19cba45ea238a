// A disk with little room for one test: a small tmpfs mounted in a scratch folder where the
// test may mount one (as root), else a scratch folder where, while full() holds, no file of the
// process can grow past the room. Either way a file of a few kilobytes fits, and writing one
// larger than the room fails with the system's own reason (no space left, file too large).
#pragma once

#include <sys/mount.h>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "services/file_size_limit.h"
#include "services/temp_dir.h"

namespace quorin::test {

class SmallDisk {
 public:
  static constexpr std::size_t kRoom = 64 * 1024;

  // `room` bytes, rounded up to whole pages on a tmpfs.
  explicit SmallDisk(std::size_t room = kRoom) : folder_(dir_ / "disk"), room_(room) {
    std::filesystem::create_directories(folder_);
    const std::string size = "size=" + std::to_string(room);
    mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path operator/(const std::string& name) const { return folder_ / name; }
  bool is_tmpfs() const { return mounted_; }

  // While the result lives nothing larger than the room can be written here.
  std::unique_ptr<FileSizeLimit> full() const {
    return mounted_ ? nullptr : std::make_unique<FileSizeLimit>(room_);
  }

 private:
  TempDir dir_;
  std::filesystem::path folder_;
  std::size_t room_;
  bool mounted_ = false;
};

}  // namespace quorin::test
