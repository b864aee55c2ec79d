#include <iostream>
#include <string>
#include <vector>

#include "tools/ztregsvr/ztregsvr.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quarry::ztregsvr::RunZtregsvr(args, std::cout, std::cerr);
}
