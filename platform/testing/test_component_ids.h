// Identifiers of the test component module (testing/test_component.cpp).

#ifndef QUARRY_PLATFORM_TESTING_TEST_COMPONENT_IDS_H_
#define QUARRY_PLATFORM_TESTING_TEST_COMPONENT_IDS_H_

#include <string_view>

#include "platform/com_guid.h"

namespace quarry::testing::component {

inline constexpr com::Guid kLibId{
    0xA5D59178, 0x3BAA, 0x4D44, {0x8E, 0x91, 0xDC, 0x94, 0x0B, 0xB3, 0x15, 0x8E}};
inline constexpr com::Guid kIidCounter = kLibId.Offset(1);
inline constexpr com::Guid kClsidCounter = kLibId.Offset(3);
inline constexpr std::string_view kProgId = "QUARRYTEST.Counter.1";

}  // namespace quarry::testing::component

#endif  // QUARRY_PLATFORM_TESTING_TEST_COMPONENT_IDS_H_
