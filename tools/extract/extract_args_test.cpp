#include "tools/extract/extract_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  bool ok;
  ExtractOptions options;
  std::string error;
};

Parsed Parse(std::vector<const char*> args) {
  args.insert(args.begin(), "zellora-extract");
  Parsed p;
  p.ok = ParseExtractArgs(static_cast<int>(args.size()), args.data(), p.options, p.error);
  return p;
}

TEST(ExtractArgs, DefaultsForAFile) {
  const Parsed p = Parse({"page.html"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.target, "page.html");
  EXPECT_FALSE(p.options.isUrl);
  EXPECT_EQ(p.options.level, 20);
  EXPECT_EQ(p.options.encoding, 0);
  EXPECT_FALSE(p.options.utf8);
  EXPECT_FALSE(p.options.hasReferrer);
}

TEST(ExtractArgs, EveryOptionInBothSpellings) {
  Parsed p = Parse({"--level", "0", "--encoding=3", "--utf8", "-"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.level, 0);
  EXPECT_EQ(p.options.encoding, 3);
  EXPECT_TRUE(p.options.utf8);
  EXPECT_EQ(p.options.target, "-");

  p = Parse({"HTTPS://example.test/a", "--level=-5", "--referrer", "", "--user", "u", "--password=p=q"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.isUrl);
  EXPECT_EQ(p.options.level, -5);
  EXPECT_TRUE(p.options.hasReferrer);  // an empty referrer is still a referrer
  EXPECT_EQ(p.options.referrer, "");
  EXPECT_EQ(p.options.user, "u");
  EXPECT_EQ(p.options.password, "p=q");

  // After "--" a name that looks like an option is a file.
  p = Parse({"--", "--level"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.target, "--level");
}

TEST(ExtractArgs, BadArgumentsAreRefused) {
  const std::vector<std::vector<const char*>> bad = {
      {},                                     // no target
      {"a", "b"},                             // two targets
      {"--level", "x", "a"},                  // not a number
      {"--level", "20x", "a"},                //
      {"--level", "99999999999", "a"},        // out of range
      {"--level"},                            // missing value
      {"--encoding", "5", "a"},               // no such code
      {"--encoding", "-1", "a"},              //
      {"--encoding", "1", "http://x.test/"},  // a fetch always detects
      {"--referrer", "r", "a"},               // a file has no request
      {"--user", "u", "http://x.test/"},      // user without password
      {"--password", "p", "http://x.test/"},  // and the reverse
      {"--utf8=yes", "a"},                    //
      {"--bogus", "a"},                       //
      {""},                                   // empty target
  };
  for (const auto& args : bad) {
    const Parsed p = Parse(args);
    EXPECT_FALSE(p.ok) << (args.empty() ? "(none)" : args[0]);
    EXPECT_FALSE(p.error.empty());
  }
}

TEST(ExtractArgs, HelpNeedsNoTarget) {
  const Parsed p = Parse({"--help"});
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.options.help);
  EXPECT_NE(std::string(ExtractUsage()).find("--level N"), std::string::npos);
}

TEST(ExtractArgs, UrlSchemes) {
  EXPECT_TRUE(IsHttpUrl("http://a"));
  EXPECT_TRUE(IsHttpUrl("HTTP://a"));
  EXPECT_TRUE(IsHttpUrl("https://a"));
  EXPECT_FALSE(IsHttpUrl("ftp://a"));
  EXPECT_FALSE(IsHttpUrl("http:/a"));
  EXPECT_FALSE(IsHttpUrl("./http://a"));
}

}  // namespace
