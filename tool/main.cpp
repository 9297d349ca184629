// Kestrum: fits a comparison molecule onto a reference molecule and carries other molecules along.
#include <iostream>

#include "driver.h"

int main(int argc, char** argv) {
  const int status = kestrumMain(argc, argv);
  std::cout.flush();
  return status;
}
