// The dot table: 1001 rows of position and speed, every row number checked.
#pragma once

#include <array>
#include <stdexcept>

namespace saver {

struct DotRow {
  float DotX = 0.0f;      // a whole number of twips from the left edge
  float DotY = 0.0f;      // twips from the top edge
  float DotSpeed = 0.0f;  // twips per pass
};

class DotTable {
 public:
  static constexpr int kLastRow = 1000;

  // The row i, 0 <= i <= 1000; any other number is an error that ends the program.
  DotRow& operator()(int i) {
    if (i < 0 || i > kLastRow) throw std::out_of_range("Dots: subscript out of range");
    return rows_[i];
  }

 private:
  std::array<DotRow, kLastRow + 1> rows_{};
};

}  // namespace saver
