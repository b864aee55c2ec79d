#include "framework/colour/system_colours.h"

#include <atomic>

namespace quarry {

namespace {

const FixedSystemColours kClassic;
std::atomic<const SystemColours*> g_installed{nullptr};

}  // namespace

const SystemColours& SystemColours::Installed() {
  const SystemColours* colours = g_installed.load(std::memory_order_acquire);
  return colours != nullptr ? *colours : kClassic;
}

void SystemColours::Install(const SystemColours* colours) {
  g_installed.store(colours, std::memory_order_release);
}

}  // namespace quarry
