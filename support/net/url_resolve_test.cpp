#include "support/net/url_resolve.h"

#include <gtest/gtest.h>

namespace {

TEST(ResolveUrl, ReferenceResolutionExamples) {
  // The normal and abnormal examples of reference resolution, with base http://a/b/c/d;p?q.
  const char* base = "http://a/b/c/d;p?q";
  const std::pair<const char*, const char*> cases[] = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q#s"},
      {"g?y#s", "http://a/b/c/g?y#s"},
      {";x", "http://a/b/c/;x"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../..", "http://a/"},
      {"../../g", "http://a/g"},
      {"../../../g", "http://a/g"},
      {"../../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"/../g", "http://a/g"},
      {"g.", "http://a/b/c/g."},
      {".g", "http://a/b/c/.g"},
      {"g..", "http://a/b/c/g.."},
      {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},
      {"./g/.", "http://a/b/c/g/"},
      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},
      {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"},
      {"g#s/../x", "http://a/b/c/g#s/../x"},
      {"http:g", "http:g"},
  };
  for (const auto& c : cases) EXPECT_EQ(ResolveUrl(base, c.first), c.second) << c.first;
}

TEST(ResolveUrl, WhatPagesAndFeedsWrite) {
  EXPECT_EQ(ResolveUrl("http://news.example.jp", "top.html"), "http://news.example.jp/top.html");
  EXPECT_EQ(ResolveUrl("https://e.jp/a/feed.xml", "  /entry/1?x=1&y=2 \r\n"), "https://e.jp/entry/1?x=1&y=2");
  EXPECT_EQ(ResolveUrl("http://e.jp/a/", "//cdn.e.jp/p"), "http://cdn.e.jp/p");
  EXPECT_EQ(ResolveUrl("http://e.jp/a/b.html#top", ""), "http://e.jp/a/b.html");
  // Shift_JIS in the path stays byte for byte ("表" ends in 0x5C, "ソ" in 0x5C too).
  EXPECT_EQ(ResolveUrl("http://e.jp/表/", "ソ.html"), "http://e.jp/表/ソ.html");
  // No base to go by: only an absolute reference survives.
  EXPECT_EQ(ResolveUrl("", "a.html"), "");
  EXPECT_EQ(ResolveUrl("not a url", "/a.html"), "");
  EXPECT_EQ(ResolveUrl("", "HTTP://E.JP/x/../y"), "HTTP://E.JP/y");
  EXPECT_EQ(ResolveUrl("http://e.jp/", "javascript:alert(1)"), "javascript:alert(1)");
}

TEST(IsWebAddress, OnlyHttpAndHttpsWithAHost) {
  for (const char* yes : {"http://e.jp/", "HTTPS://e.jp", "http://127.0.0.1:8080/x?y"}) {
    EXPECT_TRUE(IsWebAddress(yes)) << yes;
  }
  for (const char* no : {"", "e.jp/x", "http:/x", "http:///x", "ftp://e.jp/", "javascript:void(0)",
                         "data:text/html,x", "file:///etc/passwd", "mailto:a@e.jp", "httpx://e.jp"}) {
    EXPECT_FALSE(IsWebAddress(no)) << no;
  }
}

}  // namespace
