// Line-by-line reading of the asset sources, with errors that name the file and line.
// A word that starts with '#' starts a comment that runs to the end of the line.
#pragma once

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace assets {

using Words = std::vector<std::string>;

class SourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class SourceLines {
 public:
  SourceLines(const std::string& text, std::string source) : source_(std::move(source)) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(std::move(line));
    }
  }

  // Moves to the next line; false at the end.
  bool Next() {
    if (next_ >= lines_.size()) return false;
    current_ = next_++;
    return true;
  }
  bool Peek() const { return next_ < lines_.size(); }

  const std::string& line() const { return lines_[current_]; }
  Words words() const { return Split(lines_[current_]); }
  Words PeekWords() const { return Split(lines_[next_]); }

  [[noreturn]] void Fail(const std::string& message) const { FailAt(number(), message); }
  // The current line's number, counted from 1, for a later FailAt.
  size_t number() const { return current_ + 1; }
  [[noreturn]] void FailAt(size_t number, const std::string& message) const {
    throw SourceError(source_ + ":" + std::to_string(number) + ": " + message);
  }
  [[noreturn]] void FailAtEnd(const std::string& message) const {
    throw SourceError(source_ + ": " + message);
  }

  // words[i] as a whole number within [low, high].
  int Int(const Words& words, size_t i, int low, int high) const {
    return int(Number<long>(words, i, low, high, "a whole number",
                            [](const std::string& w, size_t* used) { return std::stol(w, used); }));
  }

  // words[i] as a number within [low, high].
  double Real(const Words& words, size_t i, double low, double high) const {
    return Number<double>(words, i, low, high, "a number",
                          [](const std::string& w, size_t* used) { return std::stod(w, used); });
  }

  void ExpectCount(const Words& words, size_t count) const {
    if (words.size() != count)
      Fail("'" + words[0] + "' takes " + std::to_string(count - 1) + " value(s)");
  }

 private:
  template <typename T, typename Parse>
  T Number(const Words& words, size_t i, T low, T high, const char* kind, Parse parse) const {
    if (i >= words.size()) Fail("'" + words[0] + "' needs more numbers");
    size_t used = 0;
    T value = 0;
    try {
      value = parse(words[i], &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used != words[i].size()) Fail("'" + words[i] + "' is not " + kind);
    if (!(value >= low && value <= high))
      Fail(words[i] + " is outside " + std::to_string(low) + " .. " + std::to_string(high));
    return value;
  }

  static Words Split(const std::string& line) {
    Words words;
    std::istringstream in(line);
    for (std::string word; in >> word;) {
      if (word[0] == '#') break;
      words.push_back(std::move(word));
    }
    return words;
  }

  std::string source_;
  std::vector<std::string> lines_;
  size_t current_ = 0, next_ = 0;
};

}  // namespace assets
