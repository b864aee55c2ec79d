// Downloading one record against a scripted server: the container and its
// fallbacks to the plain file, and what is left in the download folder.

#include "updater/record_download.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "updater/lzrw1/lzrw1_codec.h"
#include "web/testing/test_http_server.h"
#include "web/testing/web_test_environment.h"

namespace quarry {
namespace {

namespace fs = std::filesystem;
using testing::ReceivedRequest;
using testing::ScriptedResponse;
using testing::TestHttpServer;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class RecordDownloadTest : public testing::WebTest {
 protected:
  // The bytes of a container of `bytes` stored under the name `name`.
  std::string Container(const std::string& name, const std::string& bytes) {
    const fs::path source_dir = dir_ / "src";
    fs::create_directories(source_dir);
    std::ofstream(source_dir / name, std::ios::binary) << bytes;
    std::string out = (dir_ / "packed.tmp").string();
    CLZRW1Codec codec;
    EXPECT_EQ(codec.ProcessFile((source_dir / name).string(), &out, 1, 1), 1);
    const std::string packed = Read(out);
    fs::remove(out);
    fs::remove_all(source_dir);
    return packed;
  }
};

TEST_F(RecordDownloadTest, TheContainerAndItsFallbacksToThePlainFile) {
  std::string text;
  while (text.size() < 20000) text += "a compressible program, line after line. ";
  std::string noise(4000, '\0');
  std::mt19937 random(7);
  for (char& c : noise) c = static_cast<char>(random());

  struct Case {
    const char* name;
    std::string download_name;
    int container_status;
    std::string container;
    int plain_status;
    bool ok;
    std::vector<std::string> asked;  // paths requested, in order
  } cases[] = {
      {"container expands", "Quarry.lzr", 200, Container("Quarry", text), 200, true,
       {"/p/Quarry.lzr"}},
      {"container missing", "Quarry.lzr", 404, "", 200, true, {"/p/Quarry.lzr", "/f/Quarry"}},
      {"stored copy refused", "Quarry.lzr", 200, Container("Quarry", noise), 200, true,
       {"/p/Quarry.lzr", "/f/Quarry"}},
      {"another file's name stored", "Quarry.lzr", 200, Container("Other", text), 200, true,
       {"/p/Quarry.lzr", "/f/Quarry"}},
      {"a name that leaves the folder", "../Quarry.lzr", 200, Container("Quarry", text), 200,
       true, {"/f/Quarry"}},
      {"plain only", "", 200, "", 200, true, {"/f/Quarry"}},
      {"nothing anywhere", "Quarry.lzr", 404, "", 404, false, {"/p/Quarry.lzr", "/f/Quarry"}},
      {"empty plain answer", "", 200, "", 200, false, {"/f/Quarry"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const bool empty_plain = std::string(c.name) == "empty plain answer";
    TestHttpServer server([&](const ReceivedRequest& r) {
      if (r.target.rfind("/p/", 0) == 0) return ScriptedResponse::Make(c.container_status, c.container);
      return ScriptedResponse::Make(c.plain_status, empty_plain ? "" : text);
    });
    const fs::path folder = dir_ / "Update";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "Quarry") << "an older download";

    UpdateFileRecord record;
    record.path = "/opt/k/Quarry";
    record.needs_update = 1;
    record.download_name = c.download_name;
    const RecordDownload got = DownloadRecord(record, {server.Url("/f/"), server.Url("/p/")},
                                              folder.string() + "/");
    EXPECT_EQ(got.record.download_result, c.ok ? 1u : 0u);
    EXPECT_TRUE(got.record.download_name.empty());
    EXPECT_EQ(got.reason.empty(), c.ok) << got.reason;
    std::vector<std::string> asked;
    for (const auto& r : server.Requests()) asked.push_back(r.target);
    EXPECT_EQ(asked, c.asked);
    // Only the new file is left, or nothing at all.
    std::map<std::string, std::string> left;
    for (const auto& entry : fs::directory_iterator(folder)) {
      left[entry.path().filename().string()] = Read(entry.path());
    }
    if (c.ok) {
      EXPECT_EQ(left, (std::map<std::string, std::string>{{"Quarry", text}}));
    } else {
      EXPECT_TRUE(left.empty());
    }
  }
}

TEST_F(RecordDownloadTest, ARecordNotMarkedIsLeftAlone) {
  TestHttpServer server([](const ReceivedRequest&) { return ScriptedResponse::Make(200, "x"); });
  UpdateFileRecord record;
  record.path = "/opt/k/Quarry";
  record.download_result = 1;
  const RecordDownload got = DownloadRecord(record, {server.Url("/f/"), server.Url("/p/")},
                                            TempPath("") + "/");
  EXPECT_EQ(got.record.download_result, 0u);
  EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace quarry
