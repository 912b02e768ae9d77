// The previous-instance test against what else may hold or flood its name: a copy
// that has bound the name but not yet listens, a queue of connections left behind, a
// name that another process binds and never listens on, every name so held, and a
// name let go; another user holding the instance and sound names in each way it may;
// and the sound as copies come and go.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/name_claim.h"
#include "tests/case_name.h"
#include "platform/sdl/sdl_media.h"
#include "platform/sdl/sdl_system.h"
#include "platform/sdl/sdl_window.h"
#include "scenes/divor/scene.h"

namespace {

using platform::sdl::ClaimCalls;
using platform::sdl::NameClaim;
using platform::sdl::SdlSystem;

// The kernel as a script: for each slot, whether it is taken, what a connection to
// it meets and whether a process of this user has its socket open. It keeps what a
// claim leaves: the sockets open, by name, how often each was closed, and how many
// pauses it took. Listening sockets are 3, 4, ...; a waiting connection is 100.
class ScriptedKernel final : public ClaimCalls {
 public:
  struct Slot {
    bool taken = false;
    Connection connection{false, 0, ECONNREFUSED};  // as to a name nobody binds
    bool ours = false;
  };
  static constexpr unsigned kUid = 1000;

  std::map<std::string, Slot> slots;
  int waiting = 0;
  std::map<int, std::string> open;  // descriptor -> the name it listens on
  std::map<int, int> closes;
  int pauses = 0;

  int Listen(const std::string& name) override {
    if (slots[name].taken) return -1;
    open[next_fd_] = name;
    return next_fd_++;
  }
  Connection Connect(const std::string& name) override { return slots[name].connection; }
  bool OpenByThisUser(const std::string& name) override { return slots[name].ours; }
  bool ProgramRunsElsewhere() override { return false; }
  unsigned Uid() override { return kUid; }
  int Accept(int) override {
    if (waiting-- <= 0) return -1;
    open[100] = "a waiting connection";
    return 100;
  }
  void Close(int fd) override {
    open.erase(fd);
    ++closes[fd];
  }
  void Pause(unsigned) override { ++pauses; }

  // The one name the claim listens on, or "" for none.
  std::string Held() const { return open.size() == 1 ? open.begin()->second : open.empty() ? "" : "several"; }

 private:
  int next_fd_ = 3;
};

constexpr ClaimCalls::Connection kThisUsers{true, ScriptedKernel::kUid, 0};
constexpr ClaimCalls::Connection kAnotherUsers{true, 65534, 0};
constexpr ClaimCalls::Connection kRefused{false, 0, ECONNREFUSED};
constexpr ClaimCalls::Connection kQueueFull{false, 0, EAGAIN};

struct Claiming {
  const char* what;
  std::map<std::string, ScriptedKernel::Slot> slots;
  NameClaim::Outcome outcome;
  const char* held;  // the name kept, "" for none
  int pauses;
};

constexpr NameClaim::Outcome kHeld = NameClaim::Outcome::kHeld;
constexpr NameClaim::Outcome kHeldByThisUser = NameClaim::Outcome::kHeldByThisUser;
constexpr NameClaim::Outcome kHeldByOthers = NameClaim::Outcome::kHeldByOthers;

// Three asks, 5 ms apart, as the instance test asks.
const Claiming kClaims[] = {
    {"every slot free: the first is held", {}, kHeld, "n", 0},
    {"a copy of this user listens", {{"n", {true, kThisUsers, true}}}, kHeldByThisUser, "", 0},
    {"another user listens: the next slot", {{"n", {true, kAnotherUsers, false}}}, kHeld, "n.1", 0},
    {"another user's queue full: passed over", {{"n", {true, kQueueFull, false}}}, kHeld, "n.1", 0},
    {"this user's socket refusing: asked three times, then passed over as no copy",
     {{"n", {true, kRefused, true}}}, kHeld, "n.1", 2},
    {"another user's socket refusing: passed over at once",
     {{"n", {true, kRefused, false}}, {"n.1", {true, kRefused, false}}}, kHeld, "n.2", 0},
    {"a copy holds a later slot: this one lets its own go and gives way",
     {{"n.2", {true, kThisUsers, true}}}, kHeldByThisUser, "", 0},
    {"other users hold every slot",
     {{"n", {true, kAnotherUsers, false}}, {"n.1", {true, kQueueFull, false}},
      {"n.2", {true, kRefused, false}}, {"n.3", {true, kAnotherUsers, false}}},
     kHeldByOthers, "", 0},
};

void PrintTo(const Claiming& claiming, std::ostream* out) { *out << claiming.what; }

class NameClaims : public ::testing::TestWithParam<Claiming> {};

TEST_P(NameClaims, EachSlotIsSettledByWhatTheKernelTells) {
  ScriptedKernel kernel;
  kernel.slots = GetParam().slots;
  {
    const NameClaim claim = NameClaim::Claim("n", 3, 5000, kernel);
    EXPECT_EQ(claim.outcome(), GetParam().outcome);
    EXPECT_EQ(kernel.Held(), GetParam().held);
    EXPECT_EQ(kernel.pauses, GetParam().pauses);
  }
  // The claim gone, every socket it opened is closed, once.
  EXPECT_TRUE(kernel.open.empty());
  for (const auto& [fd, times] : kernel.closes) EXPECT_EQ(times, 1) << fd;
}

INSTANTIATE_TEST_SUITE_P(Kernels, NameClaims, ::testing::ValuesIn(kClaims), CaseName<Claiming>);

TEST(NameClaim, AnsweringTakesAndClosesEveryWaitingConnectionAndAMovedClaimClosesOnce) {
  ScriptedKernel kernel;
  kernel.waiting = 2;
  NameClaim claim = NameClaim::Claim("n", 1, 0, kernel);
  claim.Answer();
  EXPECT_EQ(kernel.waiting, -1) << "a connection was left waiting";
  EXPECT_EQ(kernel.closes[100], 2);
  EXPECT_EQ(kernel.Held(), "n");
  NameClaim moved = std::move(claim);
  moved.Release();
  claim.Release();
  moved.Answer();
  EXPECT_TRUE(kernel.open.empty());
  EXPECT_EQ(kernel.closes[3], 1);
}

class NoEvents final : public platform::EventSink {
 public:
  void Form_Activate() override {}
  void Form_KeyDown(int16_t, int16_t) override {}
  void Form_MouseDown(int16_t, int16_t, float, float) override {}
  void Form_MouseMove(int16_t, int16_t, float, float) override {}
  void Timer2_Timer() override {}
};

// A name of this test's own, as the programs form theirs.
std::string Program(const char* what) { return std::string("instance-test-") + what + "-" + std::to_string(getpid()); }

sockaddr_un Abstract(const std::string& name, socklen_t* size) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  *size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return address;
}

sockaddr_un Name(const std::string& program, socklen_t* size) {
  return Abstract("dotfall." + program + "." + std::to_string(getuid()), size);
}

TEST(PrevInstance, ACopyThatHasBoundItsNameButNotYetListensIsFound) {
  const std::string program = Program("gap");
  socklen_t size;
  const sockaddr_un address = Name(program, &size);
  const int first = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(first, reinterpret_cast<const sockaddr*>(&address), size), 0);
  std::thread listens([first] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    listen(first, 8);
  });
  SdlSystem second(program, false);
  EXPECT_TRUE(second.PrevInstance());
  listens.join();
  close(first);
}

TEST(PrevInstance, AQueueFilledAgainstTheHolderDoesNotHideIt) {
  const std::string program = Program("flood");
  SdlSystem first(program, false);
  ASSERT_FALSE(first.PrevInstance());
  // Connections that are never closed, as many as the queue takes and more.
  socklen_t size;
  const sockaddr_un address = Name(program, &size);
  std::vector<int> flood;
  for (int i = 0; i < 5000; ++i) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
      close(fd);
      break;
    }
    flood.push_back(fd);
    if (i % 64 == 0) first.Step(0, false);  // the holder's steps
  }
  first.Step(0, false);
  SdlSystem second(program, false);
  EXPECT_TRUE(second.PrevInstance());
  for (int fd : flood) close(fd);
}

TEST(PrevInstance, ACopyIsFoundWhenOthersHoldEveryName) {
  const std::string program = Program("squat-all");
  // Another process of this program file: this test's own, forked.
  const pid_t copy = fork();
  if (copy == 0) {
    pause();
    _exit(0);
  }
  std::vector<int> squatters;
  for (int slot = 0; slot < 4; ++slot) {
    socklen_t size;
    sockaddr_un address = Name(program, &size);
    if (slot > 0) {
      const std::string suffix = "." + std::to_string(slot);
      std::memcpy(address.sun_path + size - offsetof(sockaddr_un, sun_path), suffix.data(), suffix.size());
      size = socklen_t(size + suffix.size());
    }
    squatters.push_back(socket(AF_UNIX, SOCK_STREAM, 0));
    ASSERT_EQ(bind(squatters.back(), reinterpret_cast<const sockaddr*>(&address), size), 0) << slot;
  }
  SdlSystem second(program, false);
  EXPECT_TRUE(second.PrevInstance());
  kill(copy, SIGKILL);
  waitpid(copy, nullptr, 0);
  for (int fd : squatters) close(fd);
}

// The sockets this process has open, by descriptor.
std::vector<int> Sockets() {
  std::vector<int> found;
  for (int fd = 0; fd < 1024; ++fd) {
    char link[64] = {};
    if (readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1) > 0 &&
        std::strncmp(link, "socket:", 7) == 0)
      found.push_back(fd);
  }
  return found;
}

// A claim answers every connection waiting on its name, each of which then reads
// the end; once it has let its name go, it answers nothing more: a socket opened
// later under the same descriptor keeps the connections waiting on it.
TEST(PrevInstance, ANameHeldIsAnsweredWholeAndOneLetGoNoMore) {
  int held = -1;
  const std::vector<int> before = Sockets();
  platform::sdl::NameClaim claim = platform::sdl::NameClaim::Claim(Program("let-go"), 1, 0);
  ASSERT_TRUE(claim.Held());
  for (int fd : Sockets())
    if (std::find(before.begin(), before.end(), fd) == before.end()) held = fd;
  ASSERT_GE(held, 0);
  socklen_t size;
  const sockaddr_un name = Abstract(Program("let-go"), &size);
  int copies[3];
  for (int& copy : copies) {
    copy = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(connect(copy, reinterpret_cast<const sockaddr*>(&name), size), 0);
  }
  claim.Answer();
  for (int copy : copies) {
    char byte;
    EXPECT_EQ(recv(copy, &byte, 1, MSG_DONTWAIT), 0) << "a connection was left waiting";
    close(copy);
  }
  claim.Release();
  const sockaddr_un address = Abstract(Program("later"), &size);
  const int later = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
  ASSERT_EQ(bind(later, reinterpret_cast<const sockaddr*>(&address), size), 0);
  ASSERT_EQ(listen(later, 4), 0);
  if (later != held) {  // the lowest free descriptor, unless another was freed before it
    ASSERT_EQ(dup2(later, held), held);
    close(later);
  }
  const int client = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<const sockaddr*>(&address), size), 0);
  claim.Answer();
  const int waiting = accept(held, nullptr, nullptr);
  EXPECT_GE(waiting, 0) << "a connection to a later socket was taken in the program's name";
  if (waiting >= 0) close(waiting);
  close(client);
  close(held);
}

}  // namespace

// The display's one sound, shared by the copies a host runs side by side.
namespace {

using platform::sdl::ClaimSound;
using platform::sdl::SoundName;

TEST(SoundClaim, OneNamePerUserAndDisplayWhateverItsScreen) {
  EXPECT_EQ(SoundName(":1", 1000), "dotfall.sound.1000.:1");
  EXPECT_EQ(SoundName(":1.0", 1000), SoundName(":1", 1000));
  EXPECT_EQ(SoundName(":1.1", 1000), SoundName(":1", 1000));
  EXPECT_EQ(SoundName("host.example:10.0", 1000), "dotfall.sound.1000.host.example:10");
  EXPECT_NE(SoundName(":1", 1000), SoundName(":10", 1000));
  EXPECT_NE(SoundName(":1", 1000), SoundName(":1", 1001));
  EXPECT_EQ(SoundName("wayland-1", 1000), "dotfall.sound.1000.wayland-1");
}

TEST(SoundClaim, OneHolderAtATimeAndTheNextOnceItHasGone) {
  const std::string name = SoundName(":sound-test-" + std::to_string(getpid()), unsigned(getuid()));
  NameClaim first = ClaimSound(name);
  ASSERT_TRUE(first.Held());
  EXPECT_EQ(ClaimSound(name).outcome(), kHeldByThisUser);
  // A holder that dies releases it with its process.
  const pid_t child = fork();
  if (child == 0) {
    first.Release();
    _exit(ClaimSound(name).Held() ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a second process claimed a held sound";
  first.Release();
  EXPECT_TRUE(ClaimSound(name).Held());
}

// A name bound by a process that never listens, a program's instance name or the
// display's sound name: the claim is held under the next name, and a copy that finds
// it there, or finds it there once the first is free again, gives way.
struct Squatted {
  const char* what;
  std::string name;
  NameClaim (*claim)(const std::string&);
};

void PrintTo(const Squatted& squatted, std::ostream* out) { *out << squatted.what; }

class SquattedNames : public ::testing::TestWithParam<Squatted> {};

TEST_P(SquattedNames, ANameBoundByAProcessThatNeverListensIsPassedOver) {
  const std::string& name = GetParam().name;
  socklen_t size;
  const sockaddr_un address = Abstract(name, &size);
  const int squatter = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(squatter, reinterpret_cast<const sockaddr*>(&address), size), 0);
  NameClaim first = GetParam().claim(name);
  ASSERT_TRUE(first.Held()) << "a name bound by a process that never listens stopped the first copy";
  EXPECT_EQ(GetParam().claim(name).outcome(), kHeldByThisUser) << "a second copy took the name";
  close(squatter);
  EXPECT_EQ(GetParam().claim(name).outcome(), kHeldByThisUser)
      << "a copy took the freed first name while the next was held";
  first.Release();
  EXPECT_TRUE(GetParam().claim(name).Held());
}

INSTANTIATE_TEST_SUITE_P(
    Names, SquattedNames,
    ::testing::Values(Squatted{"instance", "dotfall." + Program("squat") + "." + std::to_string(getuid()),
                               [](const std::string& name) { return NameClaim::Claim(name, 20, 5000); }},
                      Squatted{"sound", SoundName(":sound-squat-" + std::to_string(getpid()), unsigned(getuid())),
                               ClaimSound}),
    CaseName<Squatted>);

// Another user's process, uid 65534, holding names as it pleases: listening and
// answering as a copy of ours would, listening with a queue it has filled itself, or
// bound and never listening.
class OtherUser {
 public:
  enum Way { kAnswers, kQueueFull, kNeverListens };

  OtherUser(const std::vector<std::string>& names, Way way) {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) _exit(1);
      std::vector<int> held;
      for (const std::string& name : names) {
        socklen_t size;
        const sockaddr_un address = Abstract(name, &size);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), size) != 0) _exit(1);
        if (way != kNeverListens && listen(fd, 0) != 0) _exit(1);
        for (int i = 0; way == kQueueFull && i < 64; ++i) {
          const int c = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
          if (connect(c, reinterpret_cast<const sockaddr*>(&address), size) != 0) break;
        }
        held.push_back(fd);
      }
      (void)!write(ready[1], "x", 1);
      for (;;) {
        for (int fd : held)
          if (way == kAnswers) close(accept(fd, nullptr, nullptr));
        usleep(1000);
      }
    }
    close(ready[1]);
    char byte;
    ok_ = read(ready[0], &byte, 1) == 1;
    close(ready[0]);
  }
  ~OtherUser() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  bool ok() const { return ok_; }

 private:
  pid_t pid_ = -1;
  bool ok_ = false;
};

std::vector<std::string> Slots(const std::string& name, int count) {
  std::vector<std::string> names{name};
  for (int slot = 1; slot < count; ++slot) names.push_back(name + "." + std::to_string(slot));
  return names;
}

class AnotherUser : public testing::TestWithParam<OtherUser::Way> {
 protected:
  void SetUp() override {
    if (getuid() != 0) GTEST_SKIP() << "needs root, to hold names as another user";
  }
};

TEST_P(AnotherUser, HoldingTheFirstNamesNeitherStopsAProgramNorSilencesItNorEverySoundName) {
  const std::string tag = std::to_string(GetParam()) + "-" + std::to_string(getpid());
  {
    // The first names only: the copies share the next ones as before.
    const std::string program = Program(("other-first-" + tag).c_str());
    const std::string sound = SoundName(":other-first-" + tag, unsigned(getuid()));
    OtherUser other({"dotfall." + program + "." + std::to_string(getuid()), sound}, GetParam());
    ASSERT_TRUE(other.ok()) << "the other user could not hold the names";
    SdlSystem first(program, false), second(program, false);
    EXPECT_FALSE(first.PrevInstance()) << "another user's name stopped a direct run";
    EXPECT_TRUE(second.PrevInstance()) << "a second copy missed the first";
    const NameClaim claim = ClaimSound(sound);
    EXPECT_TRUE(claim.Held()) << "another user's name silenced the sound";
    EXPECT_EQ(ClaimSound(sound).outcome(), kHeldByThisUser) << "a second copy took the sound";
  }
  {
    // Every sound name: none decides, and the copy plays. (With every instance name
    // held, the processes of this user are asked instead; see above.)
    const std::string sound = SoundName(":other-all-" + tag, unsigned(getuid()));
    OtherUser other(Slots(sound, 4), GetParam());
    ASSERT_TRUE(other.ok()) << "the other user could not hold the names";
    EXPECT_EQ(ClaimSound(sound).outcome(), NameClaim::Outcome::kHeldByOthers)
        << "another user's names silenced the sound";
  }
}

// An audio device that opens as told, counting the times it was asked.
class ScriptedDevice final : public platform::sdl::AudioDevice {
 public:
  explicit ScriptedDevice(bool opens) : opens_(opens) {}
  bool Open() override {
    ++asked;
    return opens_;
  }
  void Close() override {}
  int asked = 0;

 private:
  bool opens_;
};

// The display a test's copies share their sound on, a name of the test's own, set for
// the test and restored after it.
class OnDisplay {
 public:
  explicit OnDisplay(const std::string& name) : name_(name + "-" + std::to_string(getpid())) {
    for (const char* variable : {"WAYLAND_DISPLAY", "DISPLAY"})
      if (const char* value = std::getenv(variable)) saved_.emplace_back(variable, value);
    setenv("WAYLAND_DISPLAY", name_.c_str(), 1);
    unsetenv("DISPLAY");
  }
  ~OnDisplay() {
    unsetenv("WAYLAND_DISPLAY");
    for (const auto& [variable, value] : saved_) setenv(variable.c_str(), value.c_str(), 1);
  }
  std::string SoundName() const { return platform::sdl::SoundName(name_, unsigned(getuid())); }

 private:
  std::string name_;
  std::vector<std::pair<std::string, std::string>> saved_;
};

// A copy whose audio device will not open: it lets the display's sound go at once,
// for a copy that can play.
TEST(SoundClaim, ACopyThatCannotPlayLetsTheSoundGo) {
  const OnDisplay display(":cannot-play");
  ScriptedDevice failing(/*opens=*/false);
  // Any file that is there: the device is opened before the wave is looked at.
  char wave[] = "/tmp/dotfall-wave-XXXXXX";
  close(mkstemp(wave));
  platform::MemoryBudget budget;
  platform::sdl::SdlMedia media("/tmp", budget, /*shared=*/true, failing);
  EXPECT_FALSE(media.sndPlaySound(wave, platform::SND_ASYNC | platform::SND_LOOP));
  EXPECT_EQ(failing.asked, 1);
  EXPECT_TRUE(ClaimSound(display.SoundName()).Held()) << "a copy that cannot play kept the sound";
  unlink(wave);
}

// The copy that played has gone just as the host takes this copy's window away: on
// its way out, this copy takes neither the sound nor an audio device.
TEST(SoundClaim, ACopyOnItsWayOutTakesNoSound) {
  const OnDisplay display(":ending");
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  NameClaim playing = ClaimSound(display.SoundName());  // the copy that plays
  ASSERT_TRUE(playing.Held());
  {
    ScriptedDevice device(/*opens=*/true);
    platform::MemoryBudget budget;
    platform::sdl::SdlMedia media("/tmp", budget, /*shared=*/true, device);
    media.sndPlaySound("/tmp/walk.wav", platform::SND_ASYNC | platform::SND_LOOP);  // silent for now
    NoEvents sink;
    platform::sdl::SdlWindow window(scenes::divor::kScene.layout, sink, "/tmp", budget, 0, {&media});
    playing.Release();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_EQ(window.DoEvents(), 0);
    EXPECT_TRUE(ClaimSound(display.SoundName()).Held()) << "a copy on its way out took the sound";
    EXPECT_EQ(device.asked, 0) << "a copy on its way out opened an audio device";
  }
  SDL_Quit();
  SDL_ResetHints();
}

std::string WayName(const testing::TestParamInfo<OtherUser::Way>& info) {
  switch (info.param) {
    case OtherUser::kAnswers: return "Answers";
    case OtherUser::kQueueFull: return "FillsItsQueue";
    case OtherUser::kNeverListens: return "NeverListens";
  }
  return "";
}

INSTANTIATE_TEST_SUITE_P(Ways, AnotherUser,
                         testing::Values(OtherUser::kAnswers, OtherUser::kQueueFull, OtherUser::kNeverListens),
                         WayName);

}  // namespace
