#include "services/mapped_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "services/runtime_error.h"

namespace quorin {
namespace {

// A mapped file that another program cuts short makes every read of a lost page a bus error,
// which would end the program. The handler below puts zeros where the lost pages were and
// marks the mapping cut, so the reader finishes and check_whole refuses what it read.
struct Slot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> cut{false};
  std::atomic<bool> taken{false};
};
constexpr int kSlots = 8;
Slot g_slots[kSlots];
struct sigaction g_previous {};
std::uintptr_t g_page = 4096;
std::once_flag g_installed;

void on_bus_error(int sig, siginfo_t* info, void* context) {
  // Only a fault of the system names an address; a bus error sent by a program does not.
  const auto at = info->si_code > 0 ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
  for (Slot& s : g_slots) {
    const std::uintptr_t begin = s.begin.load(std::memory_order_acquire);
    const std::uintptr_t end = s.end.load(std::memory_order_acquire);
    if (begin == 0 || at < begin || at >= end) continue;
    // A file is cut from its end: everything from this page on is gone.
    const std::uintptr_t from = at & ~(g_page - 1);
    if (::mmap(reinterpret_cast<void*>(from), end - from, PROT_READ,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      s.cut.store(true, std::memory_order_release);
      return;
    }
    break;
  }
  // Not one of ours: what would have happened without this handler.
  if (g_previous.sa_flags & SA_SIGINFO) {
    g_previous.sa_sigaction(sig, info, context);
  } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(sig);
  } else {
    ::signal(sig, SIG_DFL);  // the access comes again and ends the program as it would have
  }
}

void install_handler() {
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page > 0) g_page = static_cast<std::uintptr_t>(page);
  struct sigaction action {};
  action.sa_sigaction = on_bus_error;
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &g_previous);
}

int take_slot() {
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (g_slots[i].taken.compare_exchange_strong(expected, true)) return i;
  }
  return -1;
}

}  // namespace

MappedText::MappedText(const std::filesystem::path& path, ReadLimit limit) : path_(path) {
  std::uintmax_t size = 0;
  FilePtr f = open_checked(path, limit, size);
  std::call_once(g_installed, install_handler);
  if (size > 0) slot_ = take_slot();
  if (slot_ >= 0) {
    // Mapped with its pages entered at once: one call instead of a fault per page.
    void* map = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ,
                       MAP_PRIVATE | MAP_POPULATE, fileno(f.get()), 0);
    if (map != MAP_FAILED) {
      Slot& s = g_slots[slot_];
      s.cut.store(false);
      s.end.store(reinterpret_cast<std::uintptr_t>(map) + size, std::memory_order_release);
      s.begin.store(reinterpret_cast<std::uintptr_t>(map), std::memory_order_release);
      fd_ = ::dup(fileno(f.get()));
      map_ = map;
      size_ = static_cast<std::size_t>(size);
      text_ = std::string_view(static_cast<const char*>(map), size_);
      return;
    }
    g_slots[slot_].taken.store(false);
    slot_ = -1;
  }
  f.reset();
  copy_ = read_file_text(path, limit);
  text_ = copy_;
}

MappedText::~MappedText() {
  if (map_) {
    Slot& s = g_slots[slot_];
    s.begin.store(0, std::memory_order_release);
    s.end.store(0, std::memory_order_release);
    ::munmap(map_, size_);
    s.taken.store(false);
  }
  if (fd_ >= 0) ::close(fd_);
}

void MappedText::check_whole() const {
  if (!map_) return;
  struct stat st {};
  // A cut inside the last page reads as zeros without a bus error; the size tells.
  const bool shorter = fd_ >= 0 && ::fstat(fd_, &st) == 0 &&
                       static_cast<std::uintmax_t>(st.st_size) < size_;
  if (shorter || g_slots[slot_].cut.load(std::memory_order_acquire))
    throw RuntimeError("The file \"" + path_.string() +
                       "\" was cut short by another program while it was read; it was not read.");
}

}  // namespace quorin
