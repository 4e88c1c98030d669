// The main of every test program: on Linux it takes its locale from the
// environment, as the window does (Qt sets the C library's locale at start
// there), so that a run under LANG=ru_RU.UTF-8 catches any number that would
// follow the locale. On Windows neither Qt nor the programs set one.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
#ifndef _WIN32
  std::setlocale(LC_ALL, "");
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
