#include "web/usage_query.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace quarry {
namespace {

TEST(UsageQueryTest, AFirstReportCarriesTheMachineInItsFixedOrder) {
  FeedbackRecord record;
  record.version_text = "3.2";
  record.first_report = true;
  record.send_version = record.send_detail = record.send_identity = true;
  record.send_processors_given = true;
  MachineFacts facts;
  facts.connection_flags = 18;
  facts.processors = 4;
  facts.processor_features = 7;
  facts.processor_mhz = 2394;
  facts.physical_memory = 8ull * 1074504;
  facts.os_version = 6.01;
  facts.screen_width = 1920;
  facts.screen_height = 1080;
  facts.now = 1700000000;
  UsageQuery query = BuildUsageQuery(record, {}, &facts);
  EXPECT_EQ(query.text,
            "pv=3.2&fu=1700000000&os=6.01&ct=18&dp=0&sz=19201080&ps=2300&pc=4&pf=7&im=8");
  EXPECT_EQ(query.identity, 1700000000);

  facts.stored_identity = 42;
  record.run_count = 5;
  query = BuildUsageQuery(record, {}, &facts);
  EXPECT_EQ(query.text.substr(0, 14), "pv=3.2&ui=42&o");
  EXPECT_EQ(query.identity, 42);
  EXPECT_NE(query.text.find("&ll=5"), std::string::npos);
}

TEST(UsageQueryTest, RunCountThreeOrMoreSendsRuInsteadOfFu) {
  FeedbackRecord record;
  record.first_report = true;
  record.run_count = 3;
  MachineFacts facts;
  facts.now = 99;
  EXPECT_EQ(BuildUsageQuery(record, {}, &facts).text.substr(0, 6), "ru=99&");
}

TEST(UsageQueryTest, AnAddressListRequestSendsOnlyWhatIsSet) {
  FeedbackRecord record;
  record.version_number = 2.5;
  record.send_version = true;
  record.send_processors_given = true;
  record.send_identity = true;
  EXPECT_EQ(BuildUsageQuery(record, {"", 17, 3}, nullptr).text, "pc=3&pv=2.50&ui=17");
  // A zero identity falls back to the text identity, escaped.
  EXPECT_EQ(BuildUsageQuery(record, {"a b&c", 0, -1}, nullptr).text, "pv=2.50&ui=a%20b%26c");
  EXPECT_EQ(BuildUsageQuery(FeedbackRecord{}, {}, nullptr).text, "");
}

TEST(UsageQueryTest, NumbersInTheAddressUseADecimalPointWhateverTheLocale) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  FeedbackRecord record;
  record.version_number = 3.2;
  record.send_version = true;
  MachineFacts facts;
  facts.os_version = 6.01;
  record.first_report = true;
  const std::string text = BuildUsageQuery(record, {}, &facts).text;
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text.substr(0, 8), "pv=3.20&");
  EXPECT_NE(text.find("os=6.01"), std::string::npos) << text;
}

TEST(UsageQueryTest, OptionalTextAndCounters) {
  FeedbackRecord record;
  record.usage_text = "a/b@c";
  record.usage_counter = 4;
  record.send_query_counters = true;
  record.query_counters[0] = 1;
  record.query_counters[1] = 2;
  record.query_counters[2] = 3;
  record.ratio = 150;
  EXPECT_EQ(BuildUsageQuery(record, {}, nullptr).text, "ss=a-b24Hc&ii=4&qs=1,2,3&or=150");
  record = {};
  record.usage_text = "x,y";
  EXPECT_EQ(BuildUsageQuery(record, {}, nullptr).text, "ms=x,y");
}

}  // namespace
}  // namespace quarry
