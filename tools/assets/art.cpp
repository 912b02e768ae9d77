// Parses and renders the text pixel art of art.h.
#include "tools/assets/art.h"

#include "tools/assets/source_text.h"

namespace assets {

namespace {

class ArtParser {
 public:
  ArtParser(const std::string& text, const std::string& source) : lines_(text, source) {}

  Art Parse() {
    while (lines_.Next()) {
      const Words words = lines_.words();
      if (words.empty()) continue;
      const std::string& keyword = words[0];
      if (keyword == "size") {
        art_.width = lines_.Int(words, 1, 1, 4096);
        art_.height = lines_.Int(words, 2, 1, 4096);
        lines_.ExpectCount(words, 3);
      } else if (keyword == "scale") {
        art_.scale = lines_.Int(words, 1, 1, 64);
        lines_.ExpectCount(words, 2);
      } else if (keyword == "delay") {
        default_delay_ = lines_.Int(words, 1, 1, 6000);
        lines_.ExpectCount(words, 2);
      } else if (keyword == "palette") {
        lines_.ExpectCount(words, 1);
        ParsePalette();
      } else if (keyword == "part") {
        lines_.ExpectCount(words, 2);
        ParsePart(words[1]);
      } else if (keyword == "frame") {
        if (words.size() > 2) lines_.Fail("frame takes at most a delay");
        art_.frames.push_back({words.size() == 2 ? lines_.Int(words, 1, 1, 6000) : default_delay_, {}});
      } else if (!art_.frames.empty()) {
        art_.frames.back().placements.push_back(ParsePlacement(words));
      } else {
        lines_.Fail("unknown keyword '" + keyword + "'");
      }
    }
    if (art_.width == 0) lines_.FailAtEnd("no size");
    if (art_.keys.empty()) lines_.FailAtEnd("no palette");
    if (art_.frames.empty()) lines_.FailAtEnd("no frame");
    return std::move(art_);
  }

 private:
  // Palette lines run until the first line that is not "<key> <colour>".
  void ParsePalette() {
    while (lines_.Peek()) {
      const Words words = lines_.PeekWords();
      if (words.size() != 2 || words[0].size() != 1 || words[0] == "|") break;
      lines_.Next();
      const char key = words[0][0];
      for (char k : art_.keys)
        if (k == key) lines_.Fail(std::string("key '") + key + "' given twice");
      if (art_.keys.size() == 256) lines_.Fail("more than 256 colours");
      if (key == '.' && words[1] != "transparent") lines_.Fail("'.' draws nothing; it cannot be a colour");
      if (words[1] == "transparent") {
        if (art_.transparent >= 0) lines_.Fail("a second transparent key");
        art_.transparent = int(art_.keys.size());
        art_.colours.push_back({0, 0, 0});
      } else {
        art_.colours.push_back(ParseColour(words[1]));
      }
      art_.keys.push_back(key);
    }
  }

  Rgb ParseColour(const std::string& hex) {
    if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      lines_.Fail("colour '" + hex + "' is not six hex digits");
    const unsigned long value = std::stoul(hex, nullptr, 16);
    return {uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)};
  }

  void ParsePart(const std::string& name) {
    if (FindPart(name) != kNone) lines_.Fail("part '" + name + "' given twice");
    Art::Part part{name, {}};
    while (true) {
      if (!lines_.Next()) lines_.FailAtEnd("part '" + name + "' has no end");
      const std::string& line = lines_.line();
      const size_t first = line.find('|'), last = line.rfind('|');
      if (first == std::string::npos) {
        const Words words = lines_.words();
        if (words.size() == 1 && words[0] == "end") break;
        if (words.empty()) continue;
        lines_.Fail("a part row stands between two bars");
      }
      if (first == last) lines_.Fail("a part row stands between two bars");
      std::string row = line.substr(first + 1, last - first - 1);
      for (char c : row)
        if (c != ' ' && c != '.' && art_.KeyIndex(c) < 0)
          lines_.Fail(std::string("key '") + c + "' is not in the palette");
      part.rows.push_back(std::move(row));
    }
    art_.parts.push_back(std::move(part));
  }

  Art::Placement ParsePlacement(const Words& words) {
    const size_t part = FindPart(words[0]);
    if (part == kNone) lines_.Fail("unknown part '" + words[0] + "'");
    Art::Placement p{part, lines_.Int(words, 1, -4096, 4096), lines_.Int(words, 2, -4096, 4096)};
    if (words.size() == 3) return p;
    if (words.size() != 7 || words[3] != "repeat")
      lines_.Fail("a placement is: part column row [repeat count columns rows]");
    p.repeat = lines_.Int(words, 4, 0, 4096);
    p.step_column = lines_.Int(words, 5, -4096, 4096);
    p.step_row = lines_.Int(words, 6, -4096, 4096);
    return p;
  }

  static constexpr size_t kNone = size_t(-1);

  size_t FindPart(const std::string& name) const {
    for (size_t i = 0; i < art_.parts.size(); ++i)
      if (art_.parts[i].name == name) return i;
    return kNone;
  }

  SourceLines lines_;
  Art art_;
  int default_delay_ = 10;
};

}  // namespace

std::vector<uint8_t> Art::Render(size_t frame) const {
  const uint8_t clear = uint8_t(transparent >= 0 ? transparent : 0);
  std::vector<uint8_t> pixels(size_t(width) * size_t(height), clear);
  for (const Placement& p : frames.at(frame).placements) {
    const Part& part = parts[p.part];
    for (int copy = 0; copy <= p.repeat; ++copy) {
      const int column0 = p.column + copy * p.step_column, row0 = p.row + copy * p.step_row;
      for (size_t r = 0; r < part.rows.size(); ++r) {
        for (size_t c = 0; c < part.rows[r].size(); ++c) {
          const int index = KeyIndex(part.rows[r][c]);
          if (index < 0 || index == transparent) continue;
          const int x0 = (column0 + int(c)) * scale, y0 = (row0 + int(r)) * scale;
          for (int y = y0; y < y0 + scale; ++y)
            for (int x = x0; x < x0 + scale; ++x)
              if (x >= 0 && y >= 0 && x < width && y < height)
                pixels[size_t(y) * size_t(width) + size_t(x)] = uint8_t(index);
        }
      }
    }
  }
  return pixels;
}

int Art::KeyIndex(char key) const {
  for (size_t i = 0; i < keys.size(); ++i)
    if (keys[i] == key) return int(i);
  return -1;
}

std::vector<Rgb> Art::GifPalette() const {
  size_t size = 2;
  while (size < colours.size()) size *= 2;
  std::vector<Rgb> palette = colours;
  palette.resize(size, Rgb{0, 0, 0});
  return palette;
}

Art ParseArt(const std::string& text, const std::string& source) {
  return ArtParser(text, source).Parse();
}

}  // namespace assets
