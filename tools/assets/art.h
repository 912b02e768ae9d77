// Pixel art as text: a palette of one-character keys, parts drawn row by row, and
// frames that place parts on a canvas. The asset tool turns it into sprites and icons.
//
//   size 129 145            canvas in pixels
//   scale 4                 one character is a 4 x 4 block of pixels
//   delay 12                hundredths of a second per frame, unless a frame says
//   palette
//     . transparent
//     w f0f0ff
//   part ghost              rows between bars; '.' and blanks draw nothing
//     |..ww..|
//   end
//   frame [delay]           then one placement per line, in cells, later over earlier:
//     ghost 1 2             part, column, row
//     tooth 3 4 repeat 5 2 0   and five more copies, each 2 cells further right
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/gif_encoder.h"

namespace assets {

struct Art {
  struct Part {
    std::string name;
    std::vector<std::string> rows;
  };
  struct Placement {
    size_t part;
    int column, row;
    int repeat = 0;  // further copies
    int step_column = 0, step_row = 0;
  };
  struct Frame {
    int delay_cs;
    std::vector<Placement> placements;
  };

  int width = 0, height = 0, scale = 1;
  std::vector<char> keys;     // palette index -> key
  std::vector<Rgb> colours;   // palette index -> colour
  int transparent = -1;       // palette index of the transparent key, if any
  std::vector<Part> parts;
  std::vector<Frame> frames;

  // The frame as width * height palette indices; uncovered pixels are transparent
  // (or index 0 where the palette has no transparent key).
  std::vector<uint8_t> Render(size_t frame) const;

  // The palette index of a key, or -1.
  int KeyIndex(char key) const;

  // The palette padded to the power of two that a GIF colour table needs.
  std::vector<Rgb> GifPalette() const;
};

// Parses an art source; throws SourceError naming `source` and the line ("ghost.art:12: ...").
Art ParseArt(const std::string& text, const std::string& source);

}  // namespace assets
