#include "tools/qry/options.h"

#include <gtest/gtest.h>

namespace quarry::qry {
namespace {

Invocation MustParse(const std::vector<std::string>& args) {
  Invocation inv;
  std::string error;
  EXPECT_TRUE(ParseArguments(args, &inv, &error)) << error;
  return inv;
}

std::string ParseError(const std::vector<std::string>& args) {
  Invocation inv;
  std::string error;
  EXPECT_FALSE(ParseArguments(args, &inv, &error));
  EXPECT_EQ(error.find('\n'), std::string::npos) << "reason is one line";
  return error;
}

TEST(ParseArguments, TablesTakesFileAndJsonInAnyOrder) {
  Invocation inv = MustParse({"tables", "page.html"});
  EXPECT_EQ(inv.action, Action::kTables);
  EXPECT_EQ(inv.source, "page.html");
  EXPECT_FALSE(inv.json);

  inv = MustParse({"tables", "--json", "page.html"});
  EXPECT_TRUE(inv.json);
  EXPECT_EQ(inv.source, "page.html");
}

TEST(ParseArguments, ExportAcceptsEveryOptionSpelling) {
  Invocation inv =
      MustParse({"export", "p.html", "--table", "2", "--header", "-o", "o.csv"});
  EXPECT_EQ(inv.action, Action::kExport);
  EXPECT_EQ(inv.source, "p.html");
  EXPECT_TRUE(inv.table.by_position);
  EXPECT_EQ(inv.table.position, 2);
  EXPECT_TRUE(inv.header);
  EXPECT_EQ(inv.output, "o.csv");

  inv = MustParse({"export", "--table=prices", "--output=x.htm", "p.html"});
  EXPECT_FALSE(inv.table.by_position);
  EXPECT_EQ(inv.table.id, "prices");
  EXPECT_EQ(inv.output, "x.htm");
  EXPECT_FALSE(inv.header);

  inv = MustParse({"export", "p.html", "--table", "1", "-oout.txt"});
  EXPECT_EQ(inv.output, "out.txt");

  // "-" is standard output after -o, and an ordinary argument elsewhere.
  inv = MustParse({"export", "p.html", "--table", "1", "-o", "-"});
  EXPECT_EQ(inv.output, "-");
}

TEST(ParseArguments, DoubleDashLetsAFileStartWithADash) {
  Invocation inv = MustParse({"tables", "--json", "--", "-odd.html"});
  EXPECT_EQ(inv.source, "-odd.html");
  EXPECT_TRUE(inv.json);
}

TEST(ParseArguments, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(MustParse({"--help"}).action, Action::kHelp);
  EXPECT_EQ(MustParse({"-h"}).action, Action::kHelp);
  EXPECT_EQ(MustParse({"--version"}).action, Action::kVersion);
  EXPECT_EQ(MustParse({"export", "--bogus", "--help"}).action, Action::kHelp);
  // After "--" it is a file name, not a request for help.
  EXPECT_EQ(MustParse({"tables", "--", "--help"}).source, "--help");
}

TEST(ParseArguments, RejectsIncompleteOrMisplacedArguments) {
  EXPECT_NE(ParseError({}).find("missing command"), std::string::npos);
  EXPECT_NE(ParseError({"list", "p.html"}).find("unknown command 'list'"),
            std::string::npos);
  EXPECT_NE(ParseError({"tables"}).find("missing FILE"), std::string::npos);
  // A second source is a batch now; a second source for one table is not.
  EXPECT_NE(ParseError({"export", "a.html", "b.html", "--table", "1", "-o", "-"})
                .find("several sources"),
            std::string::npos);
  EXPECT_NE(ParseError({"export", "p.html", "-o", "-"}).find("--table"),
            std::string::npos);
  EXPECT_NE(ParseError({"export", "p.html", "--table", "1"}).find("-o"),
            std::string::npos);
  EXPECT_NE(ParseError({"export", "p.html", "-o", "-", "--table"})
                .find("needs a value"),
            std::string::npos);
  EXPECT_NE(ParseError({"export", "p.html", "--table", "1", "-o", ""})
                .find("needs a file name"),
            std::string::npos);
  EXPECT_NE(ParseError({"export", "p", "--json", "--table", "1", "-o", "-"})
                .find("does not apply to export"),
            std::string::npos);
  EXPECT_NE(ParseError({"tables", "p.html", "--header"})
                .find("does not apply to tables"),
            std::string::npos);
  EXPECT_NE(ParseError({"export", "p", "--table", "1", "--table", "2", "-o",
                        "-"})
                .find("twice"),
            std::string::npos);
  EXPECT_NE(ParseError({"tables", "p.html", "--json=yes"}).find("no value"),
            std::string::npos);
  EXPECT_NE(ParseError({"tables", "p.html", "-x"}).find("unknown option '-x'"),
            std::string::npos);
}

TEST(ParseArguments, BatchesTakeSeveralSources) {
  Invocation inv = MustParse({"tables", "a.html", "http://h/b", "--format", "jsonl", "-j", "8"});
  EXPECT_EQ(inv.sources, (std::vector<std::string>{"a.html", "http://h/b"}));
  EXPECT_EQ(inv.source, "a.html");
  EXPECT_EQ(inv.list_format, ListFormat::kJsonLines);
  EXPECT_EQ(inv.jobs, 8);

  inv = MustParse({"export", "a.html", "b.html", "--all", "-o", "out/", "--format=xlsx",
                   "--overwrite", "--header"});
  EXPECT_TRUE(inv.all);
  EXPECT_TRUE(inv.overwrite);
  EXPECT_EQ(inv.batch_format, BatchFormat::kWorkbook);
  EXPECT_EQ(inv.output, "out/");
  EXPECT_EQ(inv.jobs, kDefaultJobs);
  EXPECT_EQ(MustParse({"export", "a", "--all", "-o", "d", "--format", "html"}).batch_format,
            BatchFormat::kHtml);
  EXPECT_EQ(MustParse({"tables", "a", "--json", "--format", "json"}).list_format,
            ListFormat::kJson);
  // A single export still writes a workbook by the name's extension.
  EXPECT_EQ(MustParse({"export", "a", "--table", "1", "-o", "t.XLSX"}).output, "t.XLSX");

  struct Case {
    std::vector<std::string> args;
    std::string reason_part;
  };
  const Case refused[] = {
      {{"export", "a", "b", "--table", "1", "-o", "d"}, "several sources need --all"},
      {{"export", "a", "--all"}, "--all needs -o DIR"},
      {{"export", "a", "--all", "-o", "-"}, "must name a folder"},
      {{"export", "a", "--all", "--table", "1", "-o", "d"}, "not both"},
      {{"export", "a", "--all", "-o", "d", "--format", "ods"}, "give csv, tsv, htm or xlsx"},
      {{"export", "a", "--table", "1", "-o", "t.csv", "--format", "csv"}, "applies to --all"},
      {{"export", "a", "--table", "1", "-o", "t.csv", "--overwrite"}, "applies to --all"},
      {{"export", "a", "--table", "1", "-o", "t.xls"}, ".xlsx (a workbook), .csv"},
      {{"export", "a", "--table", "1", "-o", "/d/t.ODS"}, "'.ODS' files are not written"},
      {{"tables", "a", "b", "--json"}, "use --format jsonl"},
      {{"tables", "a", "--json", "--format", "jsonl"}, "disagree"},
      {{"tables", "a", "--format", "csv"}, "give text, json or jsonl"},
      {{"tables", "a", "--all"}, "does not apply to tables"},
      {{"tables", "a", "--jobs", "0"}, "from 1 to 16"},
      {{"tables", "a", "--jobs", "17"}, "from 1 to 16"},
      {{"tables", "a", "--jobs", "2x"}, "from 1 to 16"},
      {{"tables", "a", "-j", "99999999999"}, "from 1 to 16"},
      {{"tables", "a", "-j", "2", "--jobs", "3"}, "twice"},
  };
  for (const Case& c : refused) {
    const std::string error = ParseError(c.args);
    EXPECT_NE(error.find(c.reason_part), std::string::npos) << error;
  }
}

TEST(ParseArguments, ProxyAndUserApplyToBothCommands) {
  Invocation inv = MustParse({"tables", "http://h/p", "--proxy", "cache:3128", "--user",
                              "ann:pa:ss"});
  EXPECT_EQ(inv.proxy, "cache:3128");
  EXPECT_EQ(inv.user_name, "ann");
  EXPECT_EQ(inv.password, "pa:ss");  // split at the first colon only
  EXPECT_FALSE(inv.password_from_environment);

  inv = MustParse({"export", "http://h/p", "--table", "1", "-o", "-", "--user=ann",
                   "--proxy=[::1]:8080"});
  EXPECT_EQ(inv.proxy, "[::1]:8080");
  EXPECT_EQ(inv.user_name, "ann");
  EXPECT_EQ(inv.password, "");
  EXPECT_TRUE(inv.password_from_environment);

  inv = MustParse({"tables", "p.html"});
  EXPECT_FALSE(inv.proxy.has_value());
  EXPECT_EQ(inv.user_name, "");
  EXPECT_FALSE(inv.password_from_environment);
}

TEST(ParseArguments, RejectsCredentialsThatCouldNeverBeSent) {
  EXPECT_NE(ParseError({"tables", "u", "--user", ":pw"}).find("needs NAME"), std::string::npos);
  EXPECT_NE(ParseError({"tables", "u", "--user", "ann:"}).find("empty password"),
            std::string::npos);
  EXPECT_NE(ParseError({"tables", "u", "--user", "a:b", "--user", "c:d"}).find("twice"),
            std::string::npos);
  EXPECT_NE(ParseError({"tables", "u", "--user"}).find("needs a value"), std::string::npos);
}

TEST(CheckProxy, TakesHostsWithOptionalPortsAndRefusesTheRest) {
  std::string error;
  for (const char* ok : {"cache", "cache:3128", "10.0.0.1:8080", "[::1]", "[::1]:3128",
                         "http://cache:3128", "socks5://cache:1080/", "cache:65535"}) {
    EXPECT_TRUE(CheckProxy(ok, &error)) << ok << ": " << error;
  }
  for (const char* bad : {"", ":3128", "cache:", "cache:0", "cache:65536", "cache:31x",
                          "cache:-1", "ca che:80", "[::1", "[::1]x", "http://"}) {
    error.clear();
    EXPECT_FALSE(CheckProxy(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(ParseTableSelector, DigitsArePositionsAndAnythingElseIsAnId) {
  TableSelector sel;
  std::string error;
  ASSERT_TRUE(ParseTableSelector("007", &sel, &error));
  EXPECT_TRUE(sel.by_position);
  EXPECT_EQ(sel.position, 7);

  ASSERT_TRUE(ParseTableSelector("Table 3", &sel, &error));
  EXPECT_FALSE(sel.by_position);
  EXPECT_EQ(sel.id, "Table 3");

  // Signs and spaces make it an id, never a position.
  ASSERT_TRUE(ParseTableSelector("-1", &sel, &error));
  EXPECT_FALSE(sel.by_position);
  ASSERT_TRUE(ParseTableSelector(" 2", &sel, &error));
  EXPECT_FALSE(sel.by_position);

  // An id made of digits is reached through "id:".
  ASSERT_TRUE(ParseTableSelector("id:2024", &sel, &error));
  EXPECT_FALSE(sel.by_position);
  EXPECT_EQ(sel.id, "2024");
  ASSERT_TRUE(ParseTableSelector("id:id:x", &sel, &error));
  EXPECT_EQ(sel.id, "id:x");
}

TEST(ParseTableSelector, RejectsValuesThatNameNoTable) {
  TableSelector sel;
  std::string error;
  EXPECT_FALSE(ParseTableSelector("", &sel, &error));
  EXPECT_FALSE(ParseTableSelector("0", &sel, &error));
  EXPECT_FALSE(ParseTableSelector("000", &sel, &error));
  EXPECT_FALSE(ParseTableSelector("99999999999999999999", &sel, &error));
  EXPECT_NE(error.find("too large"), std::string::npos);
  EXPECT_FALSE(ParseTableSelector("id:", &sel, &error));
}

TEST(ParseArguments, ReadingOptions) {
  struct Case {
    std::vector<std::string> args;
    bool render;
    int seconds;
    bool spans;
  };
  const std::vector<Case> good = {
      {{"tables", "p.html"}, false, kDefaultRenderSeconds, false},
      {{"tables", "--render", "p.html"}, true, kDefaultRenderSeconds, false},
      {{"tables", "p.html", "--render", "--render-timeout", "5"}, true, 5, false},
      {{"export", "--render-timeout=600", "--render", "p", "--table", "1", "-o", "-", "--spans"},
       true, 600, true},
      {{"tables", "--spans", "p.html"}, false, kDefaultRenderSeconds, true},
  };
  for (const Case& c : good) {
    const Invocation inv = MustParse(c.args);
    EXPECT_EQ(inv.render, c.render) << c.args.back();
    EXPECT_EQ(inv.render_seconds, c.seconds);
    EXPECT_EQ(inv.spans, c.spans);
  }
  struct Bad {
    std::vector<std::string> args;
    const char* reason;
  };
  const std::vector<Bad> bad = {
      {{"tables", "p", "--render-timeout", "5"}, "needs --render"},
      {{"tables", "p", "--render", "--render-timeout", "0"}, "from 1 to 600"},
      {{"tables", "p", "--render", "--render-timeout", "601"}, "from 1 to 600"},
      {{"tables", "p", "--render", "--render-timeout", "1e3"}, "from 1 to 600"},
      {{"tables", "p", "--render", "--render-timeout", "99999999999"}, "from 1 to 600"},
      {{"tables", "p", "--render", "--render-timeout", "5", "--render-timeout", "6"}, "twice"},
      {{"tables", "p", "--render=yes"}, "takes no value"},
      {{"tables", "p", "--spans=1"}, "takes no value"},
  };
  for (const Bad& b : bad) {
    EXPECT_NE(ParseError(b.args).find(b.reason), std::string::npos) << b.args.back();
  }
}

}  // namespace
}  // namespace quarry::qry
