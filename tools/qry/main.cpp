// qry: lists the tables of a web page (saved, or fetched from its address)
// and exports one of them.

#include <iostream>
#include <string>
#include <vector>

#include "tools/qry/commands.h"

int main(int argc, char** argv) {
  // Table texts are raw page bytes: keep the standard streams byte-exact.
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return quarry::qry::RunQry(args, std::cout, std::cerr,
                             quarry::qry::ContextFromProcess());
}
