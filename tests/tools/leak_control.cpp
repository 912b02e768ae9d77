// Loses one allocation on purpose, so the leak check can show that it sees one.
#include <cstdio>

int main() {
  volatile char* lost = new char[4096];
  lost[0] = 1;
  lost = nullptr;
  std::puts("lost 4096 bytes");
}
