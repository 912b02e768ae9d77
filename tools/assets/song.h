// A General MIDI song written as note lists, turned into a Standard MIDI File.
//
//   tempo 104                   quarter notes a minute
//   meter 4 4                   bar lines in the notes are checked against it
//   track Flute
//     channel 0                 0 .. 15; 9 is General MIDI's drum channel
//     program 73                General MIDI program, 0-based
//     volume 100                controller 7
//     velocity 90               until a token v<N> changes it
//     | E5:4 G5:8 A5:8 B5:2 |   notes: pitch (C4 is middle C, # or b after the
//     | r:4 C4+E4+G4:2. n42:4 | letter), a chord with +, n<N> a note number,
//     repeat 2                  r a rest; ':' and a length, 1 2 4 8 16 or 32,
//       | C5:1 |                with '.' for dotted
//     end
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct Song {
  std::vector<uint8_t> smf;  // format 1: a tempo track, then one track per part
  double seconds = 0;        // from the first tick to the end of the last bar
};

// Throws SourceError with the line of a fault, a bar of the wrong length included.
Song MakeSong(const std::string& text, const std::string& source);

}  // namespace assets
