#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "platform/store_location.h"
#include "tools/ztreg/ztreg.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quarry::ztreg::RunZtreg(args, quarry::platform::UserStorePath(), STDIN_FILENO,
                                 std::cout,
                                 std::cerr);
}
