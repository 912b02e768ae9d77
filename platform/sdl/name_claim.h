// Names that one process of a user holds at a time: a program's instance name, and
// the display's one sound. Each is a listening socket in the abstract namespace,
// which the kernel releases when its holder dies, and no file is ever made. Any local
// user may bind any such name: a name counts as this user's only where a process of
// this user holds it, as the kernel tells, so that a name another user binds, jams or
// floods is passed over for the next of its few slots.
#pragma once

#include <string>
#include <string_view>

namespace platform::sdl {

// What a claim asks of the kernel, behind one interface so that a test may answer in
// its place: a queue full, a refusal, another user's socket, a pause.
class ClaimCalls {
 public:
  struct Connection {
    bool made = false;
    unsigned peer_uid = 0;  // the holder's user, where it was made
    int error = 0;          // errno, where it was not
  };

  virtual ~ClaimCalls() = default;
  // The kernel's.
  static ClaimCalls& System();

  // A socket listening on the abstract name, or -1 where the name is taken.
  virtual int Listen(const std::string& name) = 0;
  // A connection to the name, closed again at once.
  virtual Connection Connect(const std::string& name) = 0;
  // Whether a process of this user has a socket bound to the name open.
  virtual bool OpenByThisUser(const std::string& name) = 0;
  // Whether another process of this user runs this process's program file.
  virtual bool ProgramRunsElsewhere() = 0;
  virtual unsigned Uid() = 0;
  // A connection waiting on a listening socket, or -1 where none waits.
  virtual int Accept(int fd) = 0;
  virtual void Close(int fd) = 0;
  virtual void Pause(unsigned us) = 0;
};

class NameClaim {
 public:
  enum class Outcome {
    kNotClaimed,      // not asked for, or let go
    kHeld,            // this process holds it
    kHeldByThisUser,  // another process of this user holds it
    kHeldByOthers,    // other users hold every slot of it
  };

  // Claims the first of name's slots that no other user holds. A socket of this
  // user's that refuses may be a copy between its bind and its listen, and is asked
  // again, asks times, pause_us apart. A copy that holds a later slot keeps it when an
  // earlier one comes free: whoever finds a later slot of this user's gives way.
  static NameClaim Claim(const std::string& name, int asks, unsigned pause_us,
                         ClaimCalls& calls = ClaimCalls::System());

  NameClaim() = default;
  NameClaim(NameClaim&& other) noexcept;
  NameClaim& operator=(NameClaim&& other) noexcept;
  ~NameClaim() { Release(); }

  Outcome outcome() const { return outcome_; }
  bool Held() const { return outcome_ == Outcome::kHeld; }
  // Takes and closes every connection waiting on the name, so that no one can fill
  // its queue and so make the next copy miss it. What connected has learnt who holds
  // the name; nothing is said to it.
  void Answer() const;
  // Lets the name go, for another process to claim.
  void Release();

 private:
  explicit NameClaim(ClaimCalls* calls) : calls_(calls) {}

  ClaimCalls* calls_ = nullptr;
  int fd_ = -1;
  Outcome outcome_ = Outcome::kNotClaimed;
};

// The name of the display's one sound, per user and display (":1" and ":1.0" are
// one display).
std::string SoundName(std::string_view display, unsigned uid);
// Claims it, as a copy does at every retry while another holds it: a holder between
// its bind and its listen is given a few milliseconds, not a hundred. Where other
// users hold every slot, the sound is this copy's to play, as it would be with no
// name to share.
NameClaim ClaimSound(const std::string& name);

}  // namespace platform::sdl
