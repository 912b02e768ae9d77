// The media command interpreter. "OPEN <file> TYPE <type> ALIAS <alias>" is read
// from its end: the keyword pairs are taken off the right, and what stays is the
// file, blanks and all, so a path with blanks opens without quotation marks.
#include "platform/shared/mci/mci_interpreter.h"

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <vector>

#include "platform/shared/host_path.h"
#include "platform/shared/small_file.h"

namespace platform::mci {

namespace {

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    const size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

// Takes " <KEYWORD> <value>" off the end of text when it is there.
bool TakeTrailing(std::string* text, const std::string& keyword, std::string* value) {
  const std::string trimmed = Trim(*text);
  const size_t last_blank = trimmed.rfind(' ');
  if (last_blank == std::string::npos) return false;
  const std::string head = Trim(trimmed.substr(0, last_blank));
  const size_t keyword_blank = head.rfind(' ');
  const size_t word_start = keyword_blank == std::string::npos ? 0 : keyword_blank + 1;
  if (Interpreter::Upper(head.substr(word_start)) != keyword) return false;
  *value = trimmed.substr(last_blank + 1);
  *text = head.substr(0, word_start);
  return true;
}

// A file the device can go on to read, judged as it will be read; one line says why
// another is not.
bool Readable(const std::string& path) {
  size_t size;
  std::string why;
  const int fd = OpenSmallFile(path, SIZE_MAX, &size, &why);
  if (fd < 0) {
    ReportRefused(path, why);
    return false;
  }
  close(fd);
  return true;
}

}  // namespace

std::string Interpreter::Upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

uint32_t Interpreter::Send(const std::string& command) {
  const std::string text = Trim(command);
  if (text.empty()) return kMissingCommandString;
  const size_t blank = text.find(' ');
  const std::string verb = Upper(text.substr(0, blank));
  const std::string rest = blank == std::string::npos ? "" : text.substr(blank + 1);
  if (verb == "OPEN") return Open(rest);
  if (verb == "PLAY") return Play(rest);
  if (verb == "CLOSE") return Close(rest);
  return kUnrecognizedCommand;
}

uint32_t Interpreter::Open(const std::string& rest) {
  std::string element = rest, type, alias, value;
  for (bool took = true; took;) {
    took = false;
    if (alias.empty() && TakeTrailing(&element, "ALIAS", &value)) alias = value, took = true;
    if (type.empty() && TakeTrailing(&element, "TYPE", &value)) type = value, took = true;
  }
  element = Trim(element);
  if (element.empty()) return kMissingParameter;
  if (alias.empty()) alias = element;
  if (type.empty()) {
    const std::string upper = Upper(element);
    const bool midi = upper.size() > 4 && (upper.compare(upper.size() - 4, 4, ".MID") == 0 ||
                                           upper.compare(upper.size() - 4, 4, ".RMI") == 0);
    type = midi ? "SEQUENCER" : "";
  }
  if (Upper(type) != "SEQUENCER") return kCannotLoadDriver;
  const std::string key = Upper(alias);
  if (aliases_.count(key)) return kDuplicateAlias;
  const std::string path = HostPath(element, app_path_);
  if (!Readable(path)) return kFileNotFound;
  uint32_t error = kOk;
  const int id = device_.Open(path, &error);
  if (id == 0) return error;
  aliases_[key] = id;
  return kOk;
}

uint32_t Interpreter::Play(const std::string& rest) {
  const std::vector<std::string> words = Words(rest);
  if (words.empty()) return kMissingParameter;
  const auto found = aliases_.find(Upper(words[0]));
  if (found == aliases_.end()) return kInvalidDeviceName;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string word = Upper(words[i]);
    if (word == "FROM") {
      if (i + 1 >= words.size()) return kMissingParameter;
      if (words[++i] != "0") return kUnsupportedFunction;
    } else if (word != "NOTIFY" && word != "WAIT") {
      return kUnsupportedFunction;
    }
  }
  return device_.PlayFromStart(found->second);
}

uint32_t Interpreter::Close(const std::string& rest) {
  const std::vector<std::string> words = Words(rest);
  if (words.empty()) return kMissingParameter;
  const std::string key = Upper(words[0]);
  if (key == "ALL") {
    for (const auto& [alias, id] : aliases_) device_.Close(id);
    aliases_.clear();
    return kOk;
  }
  const auto found = aliases_.find(key);
  if (found == aliases_.end()) return kInvalidDeviceName;
  device_.Close(found->second);
  aliases_.erase(found);
  return kOk;
}

}  // namespace platform::mci
