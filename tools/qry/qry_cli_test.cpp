// Runs the built qry binary as a user or a script would, on the sample page
// shipped in docs/.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class QryCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "qry-cli-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs qry with `args`, its output captured in files, for at most 30 s.
  Result Run(const std::vector<std::string>& args) {
    const std::string out_path = (dir_ / "stdout").string();
    const std::string err_path = (dir_ / "stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> words = {QRY_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    Result result;
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, QRY_BINARY, &actions, nullptr,
                               argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      ADD_FAILURE() << "cannot start " << QRY_BINARY;
      return result;
    }
    int status = 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "qry did not finish within 30 s";
        return result;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    result.out = Slurp(out_path);
    result.err = Slurp(err_path);
    return result;
  }

  fs::path dir_;
};

TEST_F(QryCliTest, ListsTheSamplePage) {
  // The nested rates table comes first, lifted out of the layout table; the
  // layout's content cell ends paragraphs, which become line breaks in its
  // data text and so a third line; the empty advert table is dropped.
  Result r = Run({"tables", QRY_SAMPLE_PAGE});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "#  ID         ROWS x COLUMNS\n"
            "1  Table 1       5 x 3\n"
            "2  layout        3 x 2\n"
            "3  prices        7 x 4\n"
            "4  cafe-menu     5 x 3\n"
            "5  Table 5       1 x 2\n");
}

TEST_F(QryCliTest, ExportsTheNestedRatesTableWithItsHeader) {
  Result r = Run({"export", QRY_SAMPLE_PAGE, "--table", "1", "--header", "-o",
                  "-"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Service,Time,Price\r\n"
            "Puncture repair,20 min,8.00\r\n"
            "Gear tune-up,45 min,25.00\r\n"
            "Brake bleed (hydraulic),1 h,35.00\r\n"
            "Full service,3 h,89.00\r\n");
}

TEST_F(QryCliTest, ExportsToAFileByIdAndReadsBackAsJson) {
  const std::string out = (dir_ / "prices.csv").string();
  Result r = Run({"export", QRY_SAMPLE_PAGE, "--table", "prices", "--header",
                  "-o", out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string csv = Slurp(out);
  EXPECT_EQ(csv.rfind("Item,Size,Price,In stock\r\n", 0), 0u) << csv;
  // The quoted comma and the row whose first cell was left unclosed.
  EXPECT_NE(csv.find("\"City bike, 7-speed\",M,\xA3" "420,yes\r\n"),
            std::string::npos);
  EXPECT_NE(csv.find("Brake pads (pair),-,\xA3" "12.50,no\r\n"),
            std::string::npos);

  r = Run({"tables", QRY_SAMPLE_PAGE, "--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The pound sign is the Latin-1 byte A3, written as U+00A3.
  EXPECT_NE(r.out.find("\\\"City bike, 7-speed\\\",M,\xC2\xA3" "420,yes"),
            std::string::npos);
}

TEST_F(QryCliTest, FailuresGiveOneLineAndDistinctStatuses) {
  const std::string out = (dir_ / "never.csv").string();
  Result r = Run({"export", QRY_SAMPLE_PAGE, "--table", "99", "-o", out});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("qry: no table at position 99", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
  EXPECT_FALSE(fs::exists(out));

  r = Run({"tables", (dir_ / "absent.html").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("qry: cannot read", 0), 0u) << r.err;

  r = Run({"frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "qry: unknown command 'frobnicate' (try 'qry --help')\n");

  r = Run({});
  EXPECT_EQ(r.status, 2);

  r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("qry ", 0), 0u);
}

}  // namespace
