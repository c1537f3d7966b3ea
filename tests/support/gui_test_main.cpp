// main() of the widget tests: one QApplication for the whole binary, on the offscreen platform
// unless the environment names another.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  // CTest lists the tests by running the binary before it sets the test environment.
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
