// dotfall-assets: makes the programs' pictures, sounds and icons from their text
// sources at build time.
//
//   dotfall-assets sprite    <art>     <out.gif>
//   dotfall-assets icon      <art>     <out.ico> <out.png> <out.h>
//   dotfall-assets footsteps <recipe>  <out.wav>
//   dotfall-assets song      <notes>   <out.mid>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/assets/art.h"
#include "tools/assets/footsteps.h"
#include "tools/assets/gif_encoder.h"
#include "tools/assets/icon_files.h"
#include "tools/assets/song.h"
#include "tools/assets/source_text.h"

namespace {

std::string ReadSource(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every frame whole, its uncovered pixels transparent and cleared before the next,
// so no frame shows through another.
assets::GifRecipe SpriteRecipe(const assets::Art& art, const std::string& source) {
  if (art.transparent < 0) throw assets::SourceError(source + ": a sprite needs a transparent key");
  assets::GifRecipe recipe{art.width, art.height, art.GifPalette(), {}, true};
  for (size_t i = 0; i < art.frames.size(); ++i)
    recipe.frames.push_back({0, 0, art.width, art.height, art.Render(i), art.frames[i].delay_cs, 2,
                             art.transparent});
  return recipe;
}

int Usage() {
  std::fputs(
      "usage: dotfall-assets sprite <art> <out.gif>\n"
      "       dotfall-assets icon <art> <out.ico> <out.png> <out.h>\n"
      "       dotfall-assets footsteps <recipe> <out.wav>\n"
      "       dotfall-assets song <notes> <out.mid>\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string verb = argv[1], input = argv[2], source = BaseName(input);
  try {
    const std::string text = ReadSource(input);
    if (verb == "sprite" && argc == 4) {
      assets::WriteFile(argv[3], assets::Encode(SpriteRecipe(assets::ParseArt(text, source), source)));
    } else if (verb == "icon" && argc == 6) {
      const assets::Art art = assets::ParseArt(text, source);
      assets::WriteFile(argv[3], assets::EncodeIco(art));
      assets::WritePng(argv[4], art);
      const std::string header = assets::IconHeader(art, source);
      assets::WriteFile(argv[5], std::vector<uint8_t>(header.begin(), header.end()));
    } else if (verb == "footsteps" && argc == 4) {
      assets::WriteWave(argv[3], assets::MakeFootsteps(text, source));
    } else if (verb == "song" && argc == 4) {
      assets::WriteFile(argv[3], assets::MakeSong(text, source).smf);
    } else {
      return Usage();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dotfall-assets: %s\n", e.what());
    return 1;
  }
  return 0;
}
