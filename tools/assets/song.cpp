// Turns song.h's note lists into a Standard MIDI File.
#include "tools/assets/song.h"

#include <algorithm>
#include <cctype>

#include "tools/assets/source_text.h"

namespace assets {

namespace {

constexpr int kDivision = 480;  // ticks per quarter note

struct Event {
  uint32_t tick;
  int order;  // at one tick: set-up first, then note-offs, then note-ons
  std::vector<uint8_t> bytes;
};

struct Track {
  std::string name;
  int channel = 0, program = 0, volume = 100, velocity = 90;
  bool started = false;  // notes have begun; set-up lines are over
  uint32_t tick = 0;
  std::vector<Event> events;
};

void PutVarLen(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[5];
  int n = 0;
  do {
    bytes[n++] = uint8_t(value & 0x7f);
    value >>= 7;
  } while (value);
  while (n--) out.push_back(uint8_t(bytes[n] | (n ? 0x80 : 0)));
}

void PutBig(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

std::vector<uint8_t> Chunk(const char* type, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> out(type, type + 4);
  PutBig(out, uint32_t(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> Meta(uint8_t type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out{0xff, type};
  PutVarLen(out, uint32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint8_t> TrackBody(std::vector<Event> events, uint32_t end) {
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
  });
  std::vector<uint8_t> body;
  uint32_t now = 0;
  for (const Event& e : events) {
    PutVarLen(body, e.tick - now);
    body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    now = e.tick;
  }
  PutVarLen(body, end - now);
  const std::vector<uint8_t> eot = Meta(0x2f, {});
  body.insert(body.end(), eot.begin(), eot.end());
  return body;
}

class SongParser {
 public:
  SongParser(const std::string& text, const std::string& source) : lines_(text, source) {}

  Song Parse() {
    while (lines_.Next()) {
      const Words w = lines_.words();
      if (w.empty()) continue;
      if (w[0] == "tempo") {
        lines_.ExpectCount(w, 2);
        tempo_ = lines_.Int(w, 1, 20, 300);
      } else if (w[0] == "meter") {
        lines_.ExpectCount(w, 3);
        meter_beats_ = lines_.Int(w, 1, 1, 16);
        meter_unit_ = lines_.Int(w, 2, 1, 16);
        if (meter_unit_ & (meter_unit_ - 1)) lines_.Fail("the meter's unit is a power of two");
      } else if (w[0] == "track") {
        if (w.size() < 2) lines_.Fail("a track has a name");
        CloseTrack();
        tracks_.emplace_back();
        std::string name = w[1];
        for (size_t i = 2; i < w.size(); ++i) name += " " + w[i];
        tracks_.back().name = name;
      } else if (tracks_.empty()) {
        lines_.Fail("unknown keyword '" + w[0] + "'");
      } else {
        TrackLine(w);
      }
    }
    CloseTrack();
    if (tracks_.empty()) lines_.FailAtEnd("no track");
    return Write();
  }

 private:
  void TrackLine(const Words& w) {
    Track& t = tracks_.back();
    if (w[0] == "channel" || w[0] == "program" || w[0] == "volume") {
      lines_.ExpectCount(w, 2);
      if (t.started) lines_.Fail("'" + w[0] + "' comes before the notes");
      if (w[0] == "channel") t.channel = lines_.Int(w, 1, 0, 15);
      if (w[0] == "program") t.program = lines_.Int(w, 1, 0, 127);
      if (w[0] == "volume") t.volume = lines_.Int(w, 1, 0, 127);
    } else if (w[0] == "velocity") {
      lines_.ExpectCount(w, 2);
      t.velocity = lines_.Int(w, 1, 1, 127);
    } else if (w[0] == "repeat") {
      lines_.ExpectCount(w, 2);
      repeats_.push_back({lines_.Int(w, 1, 1, 64), body_.size()});
    } else if (w[0] == "end") {
      lines_.ExpectCount(w, 1);
      if (repeats_.empty()) lines_.Fail("'end' without 'repeat'");
      const auto [times, from] = repeats_.back();
      repeats_.pop_back();
      const std::vector<Token> once(body_.begin() + long(from), body_.end());
      for (int i = 1; i < times; ++i) body_.insert(body_.end(), once.begin(), once.end());
    } else {
      t.started = true;
      for (const std::string& word : w) body_.push_back({word, lines_.number()});
    }
  }

  struct Token {
    std::string text;
    size_t line;
  };

  void CloseTrack() {
    if (tracks_.empty()) return;
    if (!repeats_.empty()) lines_.FailAtEnd("a 'repeat' in track '" + tracks_.back().name + "' has no 'end'");
    Track& t = tracks_.back();
    const uint8_t ch = uint8_t(t.channel);
    std::vector<uint8_t> name(t.name.begin(), t.name.end());
    t.events.push_back({0, 0, Meta(0x03, name)});
    t.events.push_back({0, 0, {uint8_t(0xc0 | ch), uint8_t(t.program)}});
    t.events.push_back({0, 0, {uint8_t(0xb0 | ch), 7, uint8_t(t.volume)}});
    uint32_t bar_start = 0;
    bool bar_open = false;
    for (const Token& token : body_) {
      if (token.text == "|") {
        const uint32_t bar = uint32_t(kDivision * 4 * meter_beats_ / meter_unit_);
        // A line may end and the next begin with a bar line: both mark one place.
        if (bar_open && t.tick != bar_start && t.tick - bar_start != bar)
          lines_.FailAt(token.line, "a bar of " + std::to_string(t.tick - bar_start) +
                                        " ticks, not " + std::to_string(bar));
        bar_start = t.tick;
        bar_open = true;
        continue;
      }
      Note(t, token);
    }
    body_.clear();
    end_tick_ = std::max(end_tick_, t.tick);
  }

  void Note(Track& t, const Token& token) {
    const std::string& text = token.text;
    auto fail = [&](const std::string& why) { FailToken(token, why); };
    if (text[0] == 'v' && text.size() > 1 && std::isdigit(static_cast<unsigned char>(text[1]))) {
      const int v = std::stoi(text.substr(1));
      if (v < 1 || v > 127) fail("a velocity is 1 .. 127");
      t.velocity = v;
      return;
    }
    const size_t colon = text.find(':');
    if (colon == std::string::npos) fail("a note is pitch:length");
    const uint32_t ticks = Length(text.substr(colon + 1), token);
    std::vector<int> pitches;
    const std::string pitch_text = text.substr(0, colon);
    if (pitch_text != "r") {
      size_t from = 0;
      while (from <= pitch_text.size()) {
        size_t plus = pitch_text.find('+', from);
        if (plus == std::string::npos) plus = pitch_text.size();
        pitches.push_back(Pitch(pitch_text.substr(from, plus - from), token));
        from = plus + 1;
      }
    }
    const uint8_t ch = uint8_t(t.channel);
    for (int p : pitches) {
      t.events.push_back({t.tick, 2, {uint8_t(0x90 | ch), uint8_t(p), uint8_t(t.velocity)}});
      // Released a little early, so repeated notes are heard as two.
      const uint32_t off = t.tick + std::max<uint32_t>(ticks * 15 / 16, 1);
      t.events.push_back({off, 1, {uint8_t(0x80 | ch), uint8_t(p), 0}});
    }
    t.tick += ticks;
  }

  [[noreturn]] void FailToken(const Token& token, const std::string& why) const {
    lines_.FailAt(token.line, "'" + token.text + "': " + why);
  }

  uint32_t Length(const std::string& text, const Token& token) const {
    const bool dotted = !text.empty() && text.back() == '.';
    const std::string digits = dotted ? text.substr(0, text.size() - 1) : text;
    static const char* const kLengths[] = {"1", "2", "4", "8", "16", "32"};
    for (int i = 0; i < 6; ++i) {
      if (digits == kLengths[i]) {
        const uint32_t ticks = uint32_t(kDivision * 4) >> i;
        return dotted ? ticks * 3 / 2 : ticks;
      }
    }
    FailToken(token, "a length is 1, 2, 4, 8, 16 or 32, with '.' for dotted");
  }

  int Pitch(const std::string& text, const Token& token) const {
    auto fail = [&](const std::string& why) { FailToken(token, why); };
    if (text.size() >= 2 && text[0] == 'n') {
      for (size_t i = 1; i < text.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) fail("n<number> is a note number");
      const int n = std::stoi(text.substr(1));
      if (n > 127) fail("a note number is 0 .. 127");
      return n;
    }
    static const int kSemitone[] = {9, 11, 0, 2, 4, 5, 7};  // A .. G from C
    if (text.empty() || text[0] < 'A' || text[0] > 'G') fail("a pitch starts with A .. G");
    int semitone = kSemitone[text[0] - 'A'];
    size_t i = 1;
    if (i < text.size() && (text[i] == '#' || text[i] == 'b')) semitone += text[i++] == '#' ? 1 : -1;
    if (i >= text.size() || text.find_first_not_of("0123456789", i) != std::string::npos)
      fail("a pitch ends in its octave, C4 being middle C");
    const int note = (std::stoi(text.substr(i)) + 1) * 12 + semitone;
    if (note < 0 || note > 127) fail("outside the MIDI range");
    return note;
  }

  Song Write() {
    std::vector<uint8_t> file = Chunk("MThd", {0, 1, 0, uint8_t(tracks_.size() + 1),
                                               uint8_t(kDivision >> 8), uint8_t(kDivision & 0xff)});
    const uint32_t quarter_us = uint32_t(60000000 / tempo_);
    int unit_power = 0;
    while ((1 << unit_power) < meter_unit_) ++unit_power;
    std::vector<Event> conductor{
        {0, 0, Meta(0x51, {uint8_t(quarter_us >> 16), uint8_t(quarter_us >> 8), uint8_t(quarter_us)})},
        {0, 0, Meta(0x58, {uint8_t(meter_beats_), uint8_t(unit_power), 24, 8})}};
    const std::vector<uint8_t> tempo_track = Chunk("MTrk", TrackBody(conductor, end_tick_));
    file.insert(file.end(), tempo_track.begin(), tempo_track.end());
    for (const Track& t : tracks_) {
      const std::vector<uint8_t> chunk = Chunk("MTrk", TrackBody(t.events, end_tick_));
      file.insert(file.end(), chunk.begin(), chunk.end());
    }
    return {std::move(file), double(end_tick_) * quarter_us / kDivision / 1e6};
  }

  SourceLines lines_;
  std::vector<Track> tracks_;
  std::vector<Token> body_;
  std::vector<std::pair<int, size_t>> repeats_;
  int tempo_ = 120, meter_beats_ = 4, meter_unit_ = 4;
  uint32_t end_tick_ = 0;
};

}  // namespace

Song MakeSong(const std::string& text, const std::string& source) {
  return SongParser(text, source).Parse();
}

}  // namespace assets
