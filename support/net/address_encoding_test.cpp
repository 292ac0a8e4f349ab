// The wire form of addresses. Narrow literals here are Shift_JIS, as the stored addresses are.
#include "support/net/address_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using address_encoding::Charset;

std::string Wire(const std::string& address, Charset charset = Charset::kAnsi) {
  std::string wire;
  return address_encoding::ToWire(address, charset, wire) ? wire : "(fails)";
}

TEST(AddressEncoding, PunycodeOfTheRfcSamples) {
  struct Case {
    std::u32string label;
    const char* encoded;
  };
  const Case cases[] = {
      {U"なぜみんな日本語を話してくれないのか", "n8jok5ay5dzabd5bym9f0cm5685rrjetr6pdxa"},
      {U"3年B組金八先生", "3B-ww4c5e180e575a65lsy2b"},
      {U"安室奈美恵-with-SUPER-MONKEYS", "-with-SUPER-MONKEYS-pc58ag80a8qai00g7n9n"},
      {U"Hello-Another-Way-それぞれの場所", "Hello-Another-Way--fc4qua05auwb3674vfr0b"},
      {U"ひとつ屋根の下2", "2-u9tlzr9756bt3uc0v"},
      {U"MajiでKoiする5秒前", "MajiKoi5-783gue6qz075azm5e"},
      {U"パフィーdeルンバ", "de-jg4avhby1noc0d"},
      {U"そのスピードで", "d9juau41awczczp"},
      {U"他们为什么不说中文", "ihqwcrb4cv8a8dqg056pqjye"},
      {U"\U0001F600", "e28h"},  // beyond the BMP
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_TRUE(address_encoding::Punycode(c.label, out));
    EXPECT_EQ(out, c.encoded);
  }
}

TEST(AddressEncoding, PathQueryAndUserGoOutAsPercentEncodedUtf8) {
  const std::pair<const char*, const char*> cases[] = {
      // Japanese path and query; the fragment stays behind.
      {"http://127.0.0.1:8080/ニュース/一覧.html?q=東京&n=1#先頭",
       "http://127.0.0.1:8080/%E3%83%8B%E3%83%A5%E3%83%BC%E3%82%B9/"
       "%E4%B8%80%E8%A6%A7.html?q=%E6%9D%B1%E4%BA%AC&n=1"},
      // Trail bytes that look like "\" and "@" are parts of their characters, not separators.
      {"http://h/表?x=ソ&y=院", "http://h/%E8%A1%A8?x=%E3%82%BD&y=%E9%99%A2"},
      // ASCII as written, escapes and case included; a space as %20.
      {"HTTP://Example.COM/%7Euser/a b?a=%41&b=c d", "HTTP://Example.COM/%7Euser/a%20b?a=%41&b=c%20d"},
      {"http://h#x", "http://h"},
      {"http://ユーザ:pw@h/", "http://%E3%83%A6%E3%83%BC%E3%82%B6:pw@h/"},
      {"http://[::1]:80/東", "http://[::1]:80/%E6%9D%B1"},
      // A byte the code page does not define goes out as it is.
      {"http://h/a\x81", "http://h/a%81"},
      // Relative references, as a redirect may name them.
      {"/一覧?q=東京", "/%E4%B8%80%E8%A6%A7?q=%E6%9D%B1%E4%BA%AC"},
      {"news.html", "news.html"},
  };
  for (const auto& c : cases) EXPECT_EQ(Wire(c.first), c.second) << c.first;

  // A server's Location is UTF-8 already: its bytes are percent-encoded as they are.
  EXPECT_EQ(Wire("/\xE4\xB8\x80?q=\xE6\x9D\xB1#x", Charset::kUtf8), "/%E4%B8%80?q=%E6%9D%B1");
  EXPECT_EQ(Wire("//\xE4\xBE\x8B\xE3\x81\x88.jp/\xFF", Charset::kUtf8), "//xn--r8jz45g.jp/%FF");
}

TEST(AddressEncoding, HostNamesInIdnaForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://日本語.jp/", "http://xn--wgv71a119e.jp/"},
      {"http://ニュース.テスト:8080/a b", "http://xn--zck9awe6d.xn--zckzah:8080/a%20b"},
      // Full-width letters, digits and stops, upper case: as browsers map them.
      {"http://ＮＥＷＳ．日本語。ＪＰ/", "http://news.xn--wgv71a119e.jp/"},
      {"http://News.日本語.jp./", "http://news.xn--wgv71a119e.jp./"},
      // Half-width katakana, with their voiced marks and the middle dot.
      {"http://ﾆｭｰｽ.jp/", "http://xn--zck9awe6d.jp/"},
      {"http://ｳﾞｧｲｵﾘﾝ･ﾜｰﾙﾄﾞ.jp/", "http://xn--bckgs8jugg1a5ae9em.jp/"},
      {"http://ヴァイオリン・ワールド.jp/", "http://xn--bckgs8jugg1a5ae9em.jp/"},
      {"http://user@日本語.jp/", "http://user@xn--wgv71a119e.jp/"},
      {"http://ΑΒΓ.gr/", "http://xn--mxacd.gr/"},
      // An ASCII host is left as it is.
      {"http://Example.COM:80/", "http://Example.COM:80/"},
  };
  for (const auto& c : cases) EXPECT_EQ(Wire(c.first), c.second) << c.first;

  // Names that cannot be converted fail, so the fetch fails cleanly.
  const std::string longLabel = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめも";
  // 62 bytes encoded still fit a label; one character more (64) does not.
  EXPECT_EQ(Wire("http://" + longLabel + "や.jp/"),
            "http://xn--l8jegikgoqsuwy0a2a4a6a8a6cxb2b4bwxyz0a5f4d4d7dre6a7a8a9a2e.jp/");
  for (const std::string& bad :
       {std::string("http://★.jp/"), std::string("http://日本..jp/"), std::string("http://-日本.jp/"),
        std::string("http://日本-.jp/"), std::string("http://日本　語.jp/"), std::string("http://ｱﾟ.jp/"),
        std::string("http://ﾞ.jp/"), std::string("http://・.jp/"), std::string("http://日本_語.jp/"),
        "http://" + longLabel + "やゆ.jp/", std::string("http://\x81"),
        std::string("http://日本.") + std::string(250, 'a')}) {
    EXPECT_EQ(Wire(bad), "(fails)") << bad;
  }
  std::string ascii;
  EXPECT_FALSE(address_encoding::HostToAscii("\xE6\x97", ascii));      // cut-off UTF-8
  EXPECT_FALSE(address_encoding::HostToAscii("\xED\xA0\x80", ascii));  // a surrogate
  EXPECT_FALSE(address_encoding::HostToAscii("", ascii));
}

}  // namespace
