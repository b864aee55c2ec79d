// A module of the maker's kind for the scan tests: it says its version and
// its name through the two entry points the updater reads.

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int32_t Version(double* version) {
  if (version != nullptr) *version = TEST_MODULE_VERSION;
  return 0;
}

extern "C" __attribute__((visibility("default"))) int32_t NiceName(char** name) {
  if (name != nullptr) *name = strdup(TEST_MODULE_NAME);
  return 0;
}
