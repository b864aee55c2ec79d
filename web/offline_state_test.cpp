#include "web/offline_state.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "web/retrieval_ui.h"
#include "web/testing/recorders.h"
#include "web/testing/web_test_environment.h"
#include "web/web_settings.h"

namespace quarry {
namespace {

class OfflineStateTest : public testing::WebTest {
 protected:
  void SetNetworkUp(bool up) {
    SetNetworkProbe([up] {
      NetworkState state;
      state.up = up;
      state.lan = up;
      return state;
    });
  }
  uint32_t Stored() { return store().GetDword(kGlobalsKey, kOfflineModeValue, 99); }
};

TEST_F(OfflineStateTest, ReloadTakesTheStoredValueAndKeepsTheFlagWhenNoneIsStored) {
  EXPECT_EQ(ReloadOfflineFlag(), 0u);
  store().SetDword(kGlobalsKey, kOfflineModeValue, 1);
  CWebDataRetrievalImp fresh;  // construction reloads
  EXPECT_EQ(OfflineFlag(), 1u);
  store().DeleteValue(kGlobalsKey, kOfflineModeValue);
  EXPECT_EQ(ReloadOfflineFlag(), 1u);
}

TEST_F(OfflineStateTest, QueryOnlyReportsWithoutProbing) {
  int probes = 0;
  SetNetworkProbe([&probes] {
    ++probes;
    return NetworkState{};
  });
  store().SetDword(kGlobalsKey, kOfflineModeValue, 1);
  ConnectionCheckOptions options;
  options.query_only = 1;
  EXPECT_FALSE(CheckConnection(&options));
  EXPECT_EQ(options.result, 1);
  EXPECT_EQ(probes, 0);
}

TEST_F(OfflineStateTest, AFailedProbeTurnsTheSwitchOnAndASuccessfulOneOff) {
  SetNetworkUp(false);
  ConnectionCheckOptions options;
  EXPECT_FALSE(CheckConnection(&options));
  EXPECT_EQ(options.result, 1);
  EXPECT_EQ(Stored(), 1u);
  // While the switch is on, probing reports offline without asking the network.
  SetNetworkUp(true);
  EXPECT_FALSE(CheckConnection(nullptr));
  // Reset clears it first; the probe then succeeds and it stays off.
  options = {};
  options.reset_offline = 1;
  EXPECT_TRUE(CheckConnection(&options));
  EXPECT_EQ(options.result, 0);
  EXPECT_EQ(Stored(), 0u);
}

TEST_F(OfflineStateTest, AForcedStateIsStoredAsGiven) {
  ConnectionCheckOptions options;
  options.forced_state = 1;
  EXPECT_FALSE(CheckConnection(&options));
  EXPECT_EQ(Stored(), 1u);
  options.forced_state = 0;
  EXPECT_TRUE(CheckConnection(&options));
  EXPECT_EQ(Stored(), 0u);
}

TEST_F(OfflineStateTest, ShowErrorPassesTheSystemReasonToTheUi) {
  testing::RecordingUi ui;
  SetRetrievalUi(&ui);
  SetNetworkUp(false);
  ConnectionCheckOptions options;
  options.show_error = 1;
  EXPECT_FALSE(CheckConnection(&options));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Network is unreachable");
}

TEST_F(OfflineStateTest, ConnectedStateReflectsInterfacesAndTheSwitch) {
  SetNetworkUp(false);
  uint32_t flags = 0xFFFF;
  EXPECT_FALSE(InternetGetConnectedState(&flags));
  EXPECT_EQ(InternetAttemptConnect(), static_cast<uint32_t>(ENETUNREACH));
  SetNetworkProbe([] {
    NetworkState state;
    state.up = true;
    state.modem = true;
    return state;
  });
  SaveOfflineFlag(1);
  EXPECT_TRUE(InternetGetConnectedState(&flags));
  EXPECT_EQ(flags, kConnectionModem | kConnectionConfigured | kConnectionOffline);
  EXPECT_EQ(InternetAttemptConnect(), 0u);
}

TEST(NetworkProbeTest, TheRealProbeNeverCountsLoopback) {
  // Whatever this machine has, the answer is consistent: "up" needs a kind.
  NetworkState state = ProbeNetworkInterfaces();
  EXPECT_EQ(state.up, state.lan || state.modem);
}

}  // namespace
}  // namespace quarry
