// Names held by one process of a user at a time. Implements what name_claim.h
// declares.
#include "platform/sdl/name_claim.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform::sdl {

namespace {

sockaddr_un AbstractName(const std::string& name, socklen_t* size) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const size_t length = std::min(name.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, name.data(), length);
  *size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
  return address;
}

// The names tried in turn, in case other users hold the first ones.
constexpr int kSlots = 4;

std::string Slot(const std::string& name, int slot) {
  return slot == 0 ? name : name + "." + std::to_string(slot);
}

// The inodes of the sockets bound to the abstract name, as the kernel lists them for
// every user.
std::vector<std::string> SocketInodes(const std::string& name) {
  std::vector<std::string> inodes;
  std::FILE* table = std::fopen("/proc/net/unix", "re");
  if (!table) return inodes;
  const std::string path = "@" + name;
  char line[512];
  while (std::fgets(line, sizeof line, table)) {
    // Num RefCount Protocol Flags Type St Inode Path
    char inode[32], bound[256];
    if (std::sscanf(line, "%*s %*s %*s %*s %*s %*s %31s %255s", inode, bound) == 2 && path == bound)
      inodes.push_back(inode);
  }
  std::fclose(table);
  return inodes;
}

// Calls found(pid, folder) for each process of this user, by its folder in /proc,
// until it says true; whether one did. Only this user's own processes show their
// open files and their program file.
template <typename Found>
bool AnyProcessOfThisUser(Found found) {
  DIR* processes = opendir("/proc");
  if (!processes) return false;
  bool any = false;
  while (!any) {
    const dirent* entry = readdir(processes);
    if (!entry) break;
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0) continue;
    const std::string process = "/proc/" + std::string(entry->d_name);
    struct stat owner;
    if (stat(process.c_str(), &owner) != 0 || owner.st_uid != getuid()) continue;
    any = found(pid_t(pid), process);
  }
  closedir(processes);
  return any;
}

// Whether a process of this user has one of these sockets open: what no other user
// can forge, whatever it binds, and whether or not it listens.
bool AnyOpenByThisUser(const std::vector<std::string>& inodes) {
  std::vector<std::string> targets;
  for (const std::string& inode : inodes) targets.push_back("socket:[" + inode + "]");
  if (targets.empty()) return false;
  return AnyProcessOfThisUser([&targets](pid_t, const std::string& process) {
    DIR* fds = opendir((process + "/fd").c_str());
    if (!fds) return false;
    bool found = false;
    while (const dirent* fd = found ? nullptr : readdir(fds)) {
      char target[64];
      const ssize_t n = readlinkat(dirfd(fds), fd->d_name, target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = '\0';
      found = std::find(targets.begin(), targets.end(), target) != targets.end();
    }
    closedir(fds);
    return found;
  });
}

class SystemCalls final : public ClaimCalls {
 public:
  int Listen(const std::string& name) override {
    socklen_t size;
    const sockaddr_un address = AbstractName(name, &size);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    // The kernel keeps the holder's credentials for whoever connects.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0 && listen(fd, SOMAXCONN) == 0)
      return fd;
    close(fd);
    return -1;
  }

  Connection Connect(const std::string& name) override {
    socklen_t size;
    const sockaddr_un address = AbstractName(name, &size);
    Connection connection;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
      connection.error = errno;
      return connection;
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0) {
      ucred peer{};
      socklen_t length = sizeof peer;
      connection.made = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0;
      connection.peer_uid = unsigned(peer.uid);
      if (!connection.made) connection.error = errno;
    } else {
      connection.error = errno;
    }
    close(fd);
    return connection;
  }

  bool OpenByThisUser(const std::string& name) override { return AnyOpenByThisUser(SocketInodes(name)); }
  bool ProgramRunsElsewhere() override {
    struct stat self;
    if (stat("/proc/self/exe", &self) != 0) return false;
    const pid_t me = getpid();
    return AnyProcessOfThisUser([&](pid_t pid, const std::string& process) {
      struct stat other;
      return pid != me && stat((process + "/exe").c_str(), &other) == 0 && other.st_dev == self.st_dev &&
             other.st_ino == self.st_ino;
    });
  }
  unsigned Uid() override { return unsigned(getuid()); }
  int Accept(int fd) override {
    // An accept allocates a socket before it finds the queue empty, as it is at
    // nearly every step: asking first costs far less.
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, 0) != 1) return -1;
    return accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  }
  void Close(int fd) override { close(fd); }
  void Pause(unsigned us) override { usleep(us); }
};

enum class Holder { kThisUser, kOtherUser };

// Who holds name. A connection that succeeds tells the holder's user, from the
// kernel. One that does not (the holder does not listen, or its queue is full) is
// settled by who has the socket open: a name that another user binds, jams or
// floods is another user's. A socket of this user's that refuses may be a copy
// between its bind and its listen, and is asked again, asks times, pause_us apart:
// still refusing then, it is a process of this user that is no copy and never
// listens. A full queue of this user's socket is a copy's, which empties it at its
// next step. A name nobody holds is nobody's and is asked once.
Holder HolderOf(ClaimCalls& calls, const std::string& name, int asks, unsigned pause_us) {
  for (int ask = 0; ask < asks; ++ask) {
    if (ask > 0) calls.Pause(pause_us);
    const ClaimCalls::Connection connection = calls.Connect(name);
    if (connection.made) return connection.peer_uid == calls.Uid() ? Holder::kThisUser : Holder::kOtherUser;
    const int error = connection.error;
    if ((error != ECONNREFUSED && error != EAGAIN) || !calls.OpenByThisUser(name)) return Holder::kOtherUser;
    if (error == EAGAIN) return Holder::kThisUser;
  }
  return Holder::kOtherUser;
}

}  // namespace

ClaimCalls& ClaimCalls::System() {
  static SystemCalls calls;
  return calls;
}

NameClaim NameClaim::Claim(const std::string& name, int asks, unsigned pause_us, ClaimCalls& calls) {
  NameClaim claim(&calls);
  for (int slot = 0; slot < kSlots; ++slot) {
    const std::string slot_name = Slot(name, slot);
    const int fd = calls.Listen(slot_name);
    if (fd < 0) {
      if (HolderOf(calls, slot_name, asks, pause_us) == Holder::kThisUser) {
        claim.outcome_ = Outcome::kHeldByThisUser;
        return claim;
      }
      continue;
    }
    for (int later = slot + 1; later < kSlots; ++later) {
      if (HolderOf(calls, Slot(name, later), 1, 0) == Holder::kThisUser) {
        calls.Close(fd);
        claim.outcome_ = Outcome::kHeldByThisUser;
        return claim;
      }
    }
    claim.fd_ = fd;
    claim.outcome_ = Outcome::kHeld;
    return claim;
  }
  claim.outcome_ = Outcome::kHeldByOthers;
  return claim;
}

NameClaim::NameClaim(NameClaim&& other) noexcept : calls_(other.calls_), fd_(other.fd_), outcome_(other.outcome_) {
  other.fd_ = -1;
  other.outcome_ = Outcome::kNotClaimed;
}

NameClaim& NameClaim::operator=(NameClaim&& other) noexcept {
  if (this != &other) {
    Release();
    calls_ = other.calls_;
    fd_ = other.fd_;
    outcome_ = other.outcome_;
    other.fd_ = -1;
    other.outcome_ = Outcome::kNotClaimed;
  }
  return *this;
}

void NameClaim::Answer() const {
  if (fd_ < 0) return;
  for (int copy; (copy = calls_->Accept(fd_)) >= 0;) calls_->Close(copy);
}

void NameClaim::Release() {
  if (fd_ >= 0) calls_->Close(fd_);
  fd_ = -1;
  outcome_ = Outcome::kNotClaimed;
}

std::string SoundName(std::string_view display, unsigned uid) {
  // A display's screen number does not make it another display.
  const size_t colon = display.rfind(':');
  const size_t dot = display.find('.', colon == std::string_view::npos ? 0 : colon);
  if (colon != std::string_view::npos && dot != std::string_view::npos) display = display.substr(0, dot);
  return "dotfall.sound." + std::to_string(uid) + "." + std::string(display);
}

NameClaim ClaimSound(const std::string& name) { return NameClaim::Claim(name, 4, 1000); }

}  // namespace platform::sdl
