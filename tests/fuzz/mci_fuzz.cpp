// libFuzzer target: the media command interpreter, fed one command per line, over
// a device that keeps count and fails on request.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "platform/shared/mci/mci_interpreter.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
  }
}

// Opens anything whose path holds no "fail"; ids are never reused.
class CountingDevice : public platform::mci::MusicDevice {
 public:
  int Open(const std::string& host_path, uint32_t* error) override {
    if (host_path.find("fail") != std::string::npos) {
      *error = platform::mci::kInvalidFile;
      return 0;
    }
    open_.insert(++last_);
    return last_;
  }
  uint32_t PlayFromStart(int id) override {
    Require(open_.count(id) == 1, "plays only an open id");
    return platform::mci::kOk;
  }
  void Close(int id) override {
    Require(open_.erase(id) == 1, "closes an open id once");
  }
  size_t open() const { return open_.size(); }

 private:
  std::set<int> open_;
  int last_ = 0;
};

// A folder with a song and a song that fails, beside the program, made once and
// removed when the run ends (by then the strings made here are gone).
char folder[64];

void RemoveFolder() {
  char file[96];
  for (const char* name : {"song.mid", "fail.mid"}) {
    std::snprintf(file, sizeof file, "%s/%s", folder, name);
    std::remove(file);
  }
  rmdir(folder);
}

const std::string& AppPath() {
  static const std::string path = [] {
    std::snprintf(folder, sizeof folder, "/tmp/dotfall-mci-fuzz-%d", int(getpid()));
    mkdir(folder, 0700);
    std::atexit(RemoveFolder);
    const std::string dir = folder;
    std::ofstream(dir + "/song.mid") << "MThd";
    std::ofstream(dir + "/fail.mid") << "MThd";
    return dir;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CountingDevice device;
  platform::mci::Interpreter mci(device, AppPath());
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t from = 0;
  while (from <= input.size()) {
    size_t end = input.find('\n', from);
    if (end == std::string::npos) end = input.size();
    const uint32_t code = mci.Send(input.substr(from, end - from));
    Require(code == platform::mci::kOk || (code >= 261 && code <= 304), "a documented code");
    from = end + 1;
  }
  mci.Send("CLOSE ALL");
  Require(device.open() == 0, "CLOSE ALL leaves nothing open");
  return 0;
}
