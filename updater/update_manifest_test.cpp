// The manifest "Ksp.inf": round trips, the older record version, and every
// way a damaged file is refused whole.

#include "updater/update_manifest.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quarry {
namespace {

std::string U32(uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

std::string F64(double d) {
  const uint64_t bits = std::bit_cast<uint64_t>(d);
  return U32(static_cast<uint32_t>(bits)) + U32(static_cast<uint32_t>(bits >> 32));
}

std::string Str(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }

const std::string kHead = std::string("KspAUFile\0", 10) + U32(1);

UpdateFileRecord Sample(int i) {
  UpdateFileRecord r;
  r.path = "/opt/kestrane/file" + std::to_string(i) + ".so";
  r.download_name = i % 2 ? "file" + std::to_string(i) + ".lzr" : "";
  r.display_name = "File " + std::to_string(i);
  r.registration_key = i % 3 ? "Software\\Zandor Tech\\Quarry\\SoftwareUpdate" : "";
  r.registration_value = i % 3 ? "KsAUFile" + std::to_string(i) : "";
  r.current_version = 1.0 + i / 100.0;
  r.available_version = 1.1 + i / 100.0;
  r.needs_update = i % 2;
  r.download_result = (i + 1) % 2;
  return r;
}

TEST(UpdateManifestTest, RecordsRoundTripIncludingLongStrings) {
  std::vector<UpdateFileRecord> records;
  for (int i = 0; i < 5; ++i) records.push_back(Sample(i));
  records[1].display_name = std::string(300, 'd');    // two-byte length
  records[2].path = "/" + std::string(70000, 'p');    // four-byte length
  records[3].display_name = "Zt Button Ctrl \xC3\xA9";  // bytes kept as they are
  const std::string bytes = EncodeManifest(records);
  EXPECT_EQ(bytes.substr(0, 18), kHead + U32(5));
  const auto back = DecodeManifest(bytes);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, records);
  EXPECT_EQ(DecodeManifest(EncodeManifest({})), std::vector<UpdateFileRecord>{});
}

TEST(UpdateManifestTest, AVersionTwoRecordLoadsWithoutADownloadName) {
  const std::string v2 = U32(2) + Str("/opt/k/Qry.chm") + Str("Quarry Help") +
                         Str("Software\\Zandor Tech\\Quarry\\SoftwareUpdate") + F64(1.01) +
                         F64(1.02) + U32(1) + U32(1) + Str("KsAUFile2");
  const std::string v3 = EncodeManifest({Sample(7)}).substr(kHead.size() + 4);
  const auto records = DecodeManifest(kHead + U32(2) + v2 + v3);
  ASSERT_TRUE(records.has_value());
  ASSERT_EQ(records->size(), 2u);
  const UpdateFileRecord& r = (*records)[0];
  EXPECT_EQ(r.path, "/opt/k/Qry.chm");
  EXPECT_EQ(r.download_name, "");
  EXPECT_EQ(r.display_name, "Quarry Help");
  EXPECT_EQ(r.current_version, 1.01);
  EXPECT_EQ(r.available_version, 1.02);
  EXPECT_EQ(r.needs_update, 1u);
  EXPECT_EQ(r.registration_value, "KsAUFile2");
  EXPECT_EQ((*records)[1], Sample(7));
}

TEST(UpdateManifestTest, WideStringsAreReadAsUtf8) {
  // 0xFF 0xFFFE marks UTF-16 text, counted in units: "\u00e9A".
  const std::string wide = std::string("\xFF\xFE\xFF\x02\xE9\x00\x41\x00", 8);
  const std::string record = U32(3) + Str("/p") + Str("") + wide + Str("") + F64(1) + F64(1) +
                             U32(0) + U32(0) + Str("");
  const auto records = DecodeManifest(kHead + U32(1) + record);
  ASSERT_TRUE(records.has_value());
  EXPECT_EQ((*records)[0].display_name, "\xC3\xA9" "A");
}

TEST(UpdateManifestTest, DamagedManifestsLoadAsNothing) {
  const std::string good = EncodeManifest({Sample(1), Sample(2)});
  std::string other_record_version = good;
  other_record_version[kHead.size() + 4] = 4;
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"other marker", "KspAUFilf" + good.substr(9)},
      {"marker without its zero", std::string("KspAUFile!") + good.substr(10)},
      {"format version 2", kHead.substr(0, 10) + U32(2) + good.substr(14)},
      {"unknown record version", other_record_version},
      {"cut in the last record", good.substr(0, good.size() - 3)},
      {"more records than data", kHead + U32(0xFFFFFFFF) + good.substr(18)},
      {"string longer than the file", kHead + U32(1) + U32(3) + "\xFF\xFF\xFF\xFF\xFF\xFF\x7F"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(DecodeManifest(c.bytes).has_value()) << c.name;
  }
}

TEST(UpdateManifestTest, SavedFilesLoadAndAFailedSaveKeepsTheOld) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("manifest-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / kManifestFileName).string();
  std::string error;
  ASSERT_TRUE(SaveManifest(path, {Sample(1)}, &error)) << error;
  EXPECT_EQ(LoadManifest(path), std::vector<UpdateFileRecord>{Sample(1)});
  EXPECT_FALSE(SaveManifest((dir / "missing" / "Ksp.inf").string(), {Sample(2)}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(LoadManifest((dir / "absent").string()).has_value());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quarry
