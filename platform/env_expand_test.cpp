#include "platform/env_expand.h"

#include <gtest/gtest.h>

#include <map>

namespace quarry::platform {
namespace {

std::string Expand(std::string_view text) {
  static const std::map<std::string, std::string> kVars = {
      {"HOME", "/home/u"}, {"A_1", "one"}, {"ProgramFiles(x86)", "C:\\P"},
      {"EMPTY", ""},       {"LOOP", "$HOME"}};
  return ExpandEnvironmentReferences(text, [](const std::string& name) {
    auto it = kVars.find(name);
    return it == kVars.end() ? std::nullopt : std::optional<std::string>(it->second);
  });
}

TEST(EnvExpandTest, ExpandsAllThreeForms) {
  EXPECT_EQ(Expand("$HOME/x"), "/home/u/x");
  EXPECT_EQ(Expand("${HOME}x"), "/home/ux");
  EXPECT_EQ(Expand("%HOME%\\x"), "/home/u\\x");
  EXPECT_EQ(Expand("$A_1$A_1"), "oneone");
  EXPECT_EQ(Expand("%ProgramFiles(x86)%"), "C:\\P");
  EXPECT_EQ(Expand("[$EMPTY]"), "[]");
}

TEST(EnvExpandTest, KeepsWhatIsNoReferenceOrNotSet) {
  EXPECT_EQ(Expand("$UNSET and ${UNSET} and %UNSET%"), "$UNSET and ${UNSET} and %UNSET%");
  EXPECT_EQ(Expand("100% sure, 5$ and $1"), "100% sure, 5$ and $1");
  EXPECT_EQ(Expand("%% ${ ${HOME ${1A} $"), "%% ${ ${HOME ${1A} $");
  EXPECT_EQ(Expand("50% of %HOME%"), "50% of /home/u");
  // One pass only: a value that looks like a reference stays as it is.
  EXPECT_EQ(Expand("$LOOP"), "$HOME");
}

}  // namespace
}  // namespace quarry::platform
