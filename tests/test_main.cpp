// The main() of every unit-test executable.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
  // Collation and conversions in the code under test follow the C locale unless a test says
  // otherwise; the Windows build takes its ANSI code page from the Wine prefix's locale.
  std::setlocale(LC_ALL, "C");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
