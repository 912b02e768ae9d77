// The process: its first steps, signals, the program's folder, the previous-instance
// test and the end. Implements: SdlSystem, SdlPointer, PrepareProcess, EndProcess.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl/sdl_parts.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace platform::sdl {

namespace {

// Set by a signal handler, which may run on any of the process's threads (the
// sound libraries start their own).
std::atomic<bool> end_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// A request to end: the next event-processing step closes the window. Should the
// program not get there (stuck in a library, a frozen display), the backstop ends
// it half a second later; the sound goes with it.
void OnEndSignal(int) {
  end_requested = true;
  ArmBackstop();
}

void OnOverdue(int) { _exit(0); }

// The backstop's timer, made at the start (making one is not safe in a signal
// handler; setting it is). Half a second: the program is gone well within a second
// of the request, however late the system is to run the handler.
constexpr long kBackstopNs = 500'000'000;
timer_t backstop;
bool backstop_made = false;

// The instance name this process holds, whose queue it empties.
int answered_socket = -1;

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

}  // namespace

void PrepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open takes the lowest free number, which is fd itself.
    const int opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  action.sa_handler = OnEndSignal;
  for (int sig : kEndSignals) sigaction(sig, &action, nullptr);
  action.sa_handler = OnOverdue;
  sigaction(SIGALRM, &action, nullptr);
  sigevent overdue{};
  overdue.sigev_notify = SIGEV_SIGNAL;
  overdue.sigev_signo = SIGALRM;
  backstop_made = timer_create(CLOCK_MONOTONIC, &overdue, &backstop) == 0;
  // A reader that went away (a closed pipe on standard error) is no reason to end.
  action.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &action, nullptr);
  // A signal ignored or blocked by whoever started the program must still end it.
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kEndSignals) sigaddset(&set, sig);
  sigaddset(&set, SIGALRM);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

bool EndRequested() { return end_requested; }

uint64_t NowNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return uint64_t(now.tv_sec) * 1'000'000'000u + uint64_t(now.tv_nsec);
}

void SleepUnlessSignalled(uint64_t ns) {
  const timespec wait{time_t(ns / 1'000'000'000u), long(ns % 1'000'000'000u)};
  nanosleep(&wait, nullptr);  // EINTR: the signal is seen at the next step
}

void ArmBackstop() {
  // Counted from the first ending: a later one does not defer it.
  if (!backstop_made) {
    const unsigned pending = alarm(0);
    alarm(pending ? pending : 1);
    return;
  }
  itimerspec due{};
  timer_gettime(backstop, &due);
  if (due.it_value.tv_sec != 0 || due.it_value.tv_nsec != 0) return;
  due.it_value.tv_nsec = kBackstopNs;
  timer_settime(backstop, 0, &due, nullptr);
}

void EndProcess() {
  // The sound stops first, where it is audible; the window, the pointer and the
  // display connection go with the process, without waiting for the window system.
  // Halting the music waits for the synthesizer's callback, which the backstop bounds.
  ArmBackstop();
  if (Mix_QuerySpec(nullptr, nullptr, nullptr) != 0) {
    Mix_HaltMusic();
    Mix_HaltChannel(-1);
  }
  std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
  // A leak check cut short by the backstop would pass for one that found nothing.
  if (backstop_made) timer_delete(backstop);
  alarm(0);
  __lsan_do_leak_check();
#endif
  _exit(0);
}

SdlSystem::SdlSystem(std::string program_name, bool hosted)
    : program_name_(std::move(program_name)), app_path_(ProgramFolder()), hosted_(hosted) {}

SdlSystem::~SdlSystem() {
  if (instance_socket_ < 0) return;
  if (answered_socket == instance_socket_) answered_socket = -1;
  close(instance_socket_);
}

std::string SdlSystem::ProgramFolder() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || size_t(n) >= sizeof buffer) return ".";
  std::string path(buffer, size_t(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

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

// The listening socket holding name, or -1 where it is taken.
int Hold(const std::string& name) {
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

enum class Holder { kThisUser, kOtherUser };

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

// Whether a process of this user has one of the sockets bound to name open: what no
// other user can forge, whatever it binds, and whether or not it listens.
bool HeldByThisUser(const std::string& name) {
  std::vector<std::string> targets;
  for (const std::string& inode : SocketInodes(name)) targets.push_back("socket:[" + inode + "]");
  if (targets.empty()) return false;
  DIR* processes = opendir("/proc");
  if (!processes) return false;
  bool found = false;
  while (!found) {
    const dirent* entry = readdir(processes);
    if (!entry) break;
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const std::string process = "/proc/" + std::string(entry->d_name);
    struct stat owner;
    if (stat(process.c_str(), &owner) != 0 || owner.st_uid != getuid()) continue;
    DIR* fds = opendir((process + "/fd").c_str());
    if (!fds) continue;
    while (const dirent* fd = readdir(fds)) {
      char target[64];
      const ssize_t n = readlinkat(dirfd(fds), fd->d_name, target, sizeof target - 1);
      if (n <= 0) continue;
      target[n] = '\0';
      if (std::find(targets.begin(), targets.end(), target) != targets.end()) {
        found = true;
        break;
      }
    }
    closedir(fds);
  }
  closedir(processes);
  return found;
}

// Who holds name. A connection that succeeds tells the holder's user, from the
// kernel. One that does not (the holder does not listen, or its queue is full) is
// settled by who has the socket open: a name that another user binds, jams or
// floods is another user's. A socket of this user's that refuses may be a copy
// between its bind and its listen, and is asked again, asks times, pause_us apart:
// still refusing then, it is a process of this user that is no copy and never
// listens. A full queue of this user's socket is a copy's, which empties it at its
// next step. A name nobody holds is nobody's and is asked once.
Holder HolderOf(const std::string& name, int asks, useconds_t pause_us) {
  socklen_t size;
  const sockaddr_un address = AbstractName(name, &size);
  for (int ask = 0; ask < asks; ++ask) {
    if (ask > 0) usleep(pause_us);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return Holder::kOtherUser;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0) {
      ucred peer{};
      socklen_t length = sizeof peer;
      const bool ours = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == getuid();
      close(fd);
      return ours ? Holder::kThisUser : Holder::kOtherUser;
    }
    const int error = errno;
    close(fd);
    if ((error != ECONNREFUSED && error != EAGAIN) || !HeldByThisUser(name)) return Holder::kOtherUser;
    if (error == EAGAIN) return Holder::kThisUser;
  }
  return Holder::kOtherUser;
}

enum class Claim { kHeld, kHeldByThisUser, kHeldByOthers };

// Claims the first of name's slots that no other user holds. A copy that started
// while someone else held an earlier slot holds a later one, and keeps it when the
// earlier one comes free: whoever finds a later slot of this user's held gives way.
Claim ClaimFirstFree(const std::string& name, int asks, useconds_t pause_us, int* held) {
  *held = -1;
  for (int slot = 0; slot < kSlots; ++slot) {
    const std::string slot_name = Slot(name, slot);
    const int fd = Hold(slot_name);
    if (fd < 0) {
      if (HolderOf(slot_name, asks, pause_us) == Holder::kThisUser) return Claim::kHeldByThisUser;
      continue;
    }
    for (int later = slot + 1; later < kSlots; ++later) {
      if (HolderOf(Slot(name, later), 1, 0) == Holder::kThisUser) {
        close(fd);
        return Claim::kHeldByThisUser;
      }
    }
    *held = fd;
    return Claim::kHeld;
  }
  return Claim::kHeldByOthers;
}

}  // namespace

// Names in the abstract socket namespace, per user and per deliverable: the kernel
// releases them when the process dies, and no file is ever made. Any local user may
// bind any such name, so a name counts as a copy of ours only when its holder runs
// as this user; a name held by someone else is passed over for the next one.
bool SdlSystem::PrevInstance() {
  if (hosted_ || instance_socket_ >= 0) return false;
  const std::string name = "dotfall." + program_name_ + "." + std::to_string(getuid());
  switch (ClaimFirstFree(name, 20, 5000, &instance_socket_)) {
    case Claim::kHeld:
      answered_socket = instance_socket_;
      return false;
    case Claim::kHeldByThisUser:
      return true;
    case Claim::kHeldByOthers:
      // Every name held by others, who may hold them only to hide a copy of ours:
      // the processes of this user are asked instead.
      return AnotherCopyRuns();
  }
  return false;
}

// Whether another process of this user runs this program file. Only this user's own
// processes show where their program file lies.
bool SdlSystem::AnotherCopyRuns() {
  struct stat self;
  if (stat("/proc/self/exe", &self) != 0) return false;
  DIR* processes = opendir("/proc");
  if (!processes) return false;
  bool found = false;
  const pid_t me = getpid();
  while (const dirent* entry = readdir(processes)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == me) continue;
    struct stat owner, other;
    const std::string process = "/proc/" + std::string(entry->d_name);
    if (stat(process.c_str(), &owner) != 0 || owner.st_uid != getuid()) continue;
    if (stat((process + "/exe").c_str(), &other) == 0 && other.st_dev == self.st_dev && other.st_ino == self.st_ino) {
      found = true;
      break;
    }
  }
  closedir(processes);
  return found;
}

void AnswerConnections(int fd) {
  if (fd < 0) return;
  // What connected has learnt who holds the name; nothing is said to it.
  for (int copy; (copy = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) close(copy);
}

void AnswerOtherCopies() { AnswerConnections(answered_socket); }

std::string SoundName(std::string_view display, unsigned uid) {
  // A display's screen number does not make it another display.
  const size_t colon = display.rfind(':');
  const size_t dot = display.find('.', colon == std::string_view::npos ? 0 : colon);
  if (colon != std::string_view::npos && dot != std::string_view::npos) display = display.substr(0, dot);
  return "dotfall.sound." + std::to_string(uid) + "." + std::string(display);
}

int ClaimSound(const std::string& name) {
  // Asked here at every retry of a copy that does not hold the sound, so a holder
  // between its bind and its listen is given a few milliseconds, not a hundred.
  int held;
  // Where other users hold every name, none decides: this copy plays, as it would
  // with no name to share.
  if (ClaimFirstFree(name, 4, 1000, &held) == Claim::kHeldByOthers) return kSoundUnclaimed;
  return held;
}

void SdlSystem::EndProgram() { EndProcess(); }

int SdlPointer::ShowCursor(bool show) {
  count_ += show ? 1 : -1;
  if (!hosted_) SDL_ShowCursor(count_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return count_;
}

uintptr_t HostWindowFromEnvironment() {
  const char* text = std::getenv("XSCREENSAVER_WINDOW");
  if (!text || !*text) return 0;
  char* end = nullptr;
  const unsigned long id = std::strtoul(text, &end, 0);
  if (*end != '\0' || id == 0) {
    std::fprintf(stderr, "XSCREENSAVER_WINDOW=%s names no window; making one of our own\n", text);
    return 0;
  }
  return uintptr_t(id);
}

void Report(const char* what) {
  std::fprintf(stderr, "%s: %s\n", what, SDL_GetError());
}

}  // namespace platform::sdl
