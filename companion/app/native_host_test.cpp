#include "companion/app/native_host.h"

#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/registry/registry.h"
#include "support/ticker_link/url_list.h"
#include "tests/recording_ticker.h"
#include "tests/registry_test_key.h"

namespace {

namespace nh = zellmate::native_host;

using zellora_test::RecordingTicker;

// Standard input as a string, handed out in small pieces as a pipe would.
class StringInput : public nh::Input {
 public:
  explicit StringInput(std::string bytes) : data(std::move(bytes)) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, data.size() - pos, std::size_t{7}});
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return n;
  }
  std::string data;
  std::size_t pos = 0;
};

class StringOutput : public nh::Output {
 public:
  bool Write(const char* bytes, std::size_t size) override {
    if (broken) return false;
    data.append(bytes, size);
    return true;
  }
  // The answers, each checked to be one well-formed frame of JSON.
  std::vector<nlohmann::json> Answers() const {
    std::vector<nlohmann::json> out;
    std::size_t pos = 0;
    while (pos < data.size()) {
      std::uint32_t length = 0;
      EXPECT_GE(data.size() - pos, 4u);
      std::memcpy(&length, data.data() + pos, 4);
      pos += 4;
      EXPECT_LE(length, data.size() - pos);
      out.push_back(nlohmann::json::parse(data.substr(pos, length)));
      pos += length;
    }
    return out;
  }
  std::string data;
  bool broken = false;
};

// Messages are written in UTF-8 as the browser sends them; the literals of this file are code page
// 932, so the Japanese texts are spelt as UTF-8 bytes.
const std::string kNewsUtf8 = "\xE6\x96\xB0\xE7\x9D\x80";  // 新着

class NativeHost : public RegistryKeyTest {
 protected:
  std::string Call(const nlohmann::json& message) { return nh::HandleMessage(message.dump(), context); }
  static nlohmann::json Msg(const char* method, const std::string& title, const std::string& url,
                            const std::string& referrer = "") {
    return {{"method", method}, {"title", title}, {"url", url}, {"referrer", referrer}};
  }
  static std::string Error(const char* reason) {
    return nlohmann::ordered_json{{"ok", false}, {"error", reason}}.dump();
  }
  UrlEntry Slot(int slot) {
    UrlEntry e;
    EXPECT_TRUE(url_list::LoadEntry(reg_, url_list::SlotKey(slot), e)) << slot;
    return e;
  }

  RecordingTicker ticker;
  nh::HostContext context{reg_, ticker, true};
  const std::string ok = R"({"ok":true})";
};

TEST_F(NativeHost, AddGoesThroughTheAutomationServersRulesInCodePage932) {
  ASSERT_TRUE(url_list::WriteEntry(reg_, url_list::SlotKey(0), UrlEntry{"新着", "http://a/", "", 20}));
  ASSERT_TRUE(url_list::WriteEntry(reg_, url_list::SlotKey(4), UrlEntry{"新着(2)", "http://b/", "", 20}));

  // A title taken by another address gets the next free number; slot 4 moves up to 1.
  EXPECT_EQ(Call(Msg("AddURL", kNewsUtf8, "http://c/", "http://from/")), ok);
  EXPECT_EQ(Slot(2).title, "新着(3)");
  EXPECT_EQ(Slot(2).referrer, "http://from/");
  EXPECT_EQ(Slot(2).level, zellmate::kPageLevel);
  EXPECT_EQ(Slot(1).url, "http://b/");
  EXPECT_EQ(ticker.commands, std::vector<int>{10002});

  // The same title and address again: already subscribed, nothing written, still a success.
  EXPECT_EQ(Call(Msg("AddURL", kNewsUtf8, "http://a/")), ok);
  // No title: the default name; a character code page 932 lacks becomes "?".
  EXPECT_EQ(Call(Msg("AddURL", "", "http://d/")), ok);
  EXPECT_EQ(Call(Msg("AddURL", "caf\xC3\xA9 \xF0\x9F\x98\x80", "http://e/")), ok);
  // Members missing or null are empty texts; unknown plain members are ignored.
  EXPECT_EQ(nh::HandleMessage(R"({"method":"AddURL","url":"http://f/","title":null,"v":2})", context), ok);
  EXPECT_EQ(Slot(3).title, "お気に入り(1)");
  EXPECT_EQ(Slot(4).title.substr(0, 3), "caf");
  // e-acute has no character of its own: "?" natively, its best fit "e" on Windows.
  EXPECT_EQ(Slot(4).title.substr(4), " ??");
  EXPECT_EQ(Slot(5).title, "お気に入り(2)");
  EXPECT_EQ(ticker.commands, (std::vector<int>{10002, 10003, 10004, 10005}));

  EXPECT_EQ(Call(Msg("AddURL", "t", "")), Error(nh::reason::kEmptyUrl));

  // Not running: added all the same, nobody told.
  ticker.running = false;
  for (int n = 6; n < url_list::kMaxSlots; ++n) {
    EXPECT_EQ(Call(Msg("AddURL", "p" + std::to_string(n), "http://p/")), ok);
  }
  EXPECT_EQ(Call(Msg("AddURL", "one more", "http://q/")), Error(nh::reason::kListFull));
  EXPECT_EQ(ticker.commands.size(), 4u);
}

TEST_F(NativeHost, SendWritesTheTemporaryEntryOnlyForARunningTicker) {
  context.random = [] { return 1; };
  EXPECT_EQ(Call(Msg("SendURL", kNewsUtf8, "http://s/", "http://r/")), ok);
  UrlEntry temp;
  ASSERT_TRUE(url_list::LoadEntry(reg_, url_list::kTempKey, temp));
  EXPECT_EQ(temp.title, "号外　新着");
  EXPECT_EQ(temp.url, "http://s/");
  EXPECT_EQ(temp.referrer, "http://r/");
  EXPECT_EQ(ticker.commands, std::vector<int>{11000});

  EXPECT_EQ(Call(Msg("SendURL", "x", "")), Error(nh::reason::kEmptyUrl));
  ASSERT_TRUE(reg_.DeleteKey(url_list::kTempKey));
  ticker.running = false;
  EXPECT_EQ(Call(Msg("SendURL", "x", "http://s/")), Error(nh::reason::kNotRunning));
  EXPECT_FALSE(url_list::LoadEntry(reg_, url_list::kTempKey, temp));
}

TEST_F(NativeHost, MalformedMessagesAreRefusedWithAReasonAndWriteNothing) {
  struct {
    std::string text;
    const char* reason;
  } cases[] = {
      {"", nh::reason::kMalformedJson},
      {"not json", nh::reason::kMalformedJson},
      {R"({"method":"AddURL","url":"http://x/")", nh::reason::kMalformedJson},
      {R"({"method":"AddURL","url":"http://x/"} {})", nh::reason::kMalformedJson},
      {"{\"method\":\"AddURL\",\"url\":\"http://\xFF/\"}", nh::reason::kMalformedJson},
      {R"({"method":"AddURL","url":"\ud800"})", nh::reason::kMalformedJson},
      {R"(["AddURL","t","http://x/",""])", nh::reason::kMalformedMessage},
      {R"("AddURL")", nh::reason::kMalformedMessage},
      {R"({"method":"AddURL","url":42})", nh::reason::kMalformedMessage},
      {R"({"method":"AddURL","url":"http://x/\u0000.exe"})", nh::reason::kMalformedMessage},
      {R"({"method":"AddURL","url":"http://x/","extra":{"a":1}})", nh::reason::kMalformedMessage},
      {std::string(100000, '[') + std::string(100000, ']'), nh::reason::kMalformedMessage},
      {R"({"method":"addurl","url":"http://x/"})", nh::reason::kUnknownMethod},
      {R"({"method":"RemoveURL","url":"http://x/"})", nh::reason::kUnknownMethod},
      {R"({"url":"http://x/"})", nh::reason::kUnknownMethod},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(nh::HandleMessage(c.text, context), Error(c.reason)) << c.text.substr(0, 60);
  }
  EXPECT_TRUE(url_list::ReadSlots(reg_).empty());
  EXPECT_TRUE(ticker.commands.empty());

  // Another extension's call is refused before it is read.
  context.allowed = false;
  EXPECT_EQ(Call(Msg("AddURL", "t", "http://x/")), Error(nh::reason::kNotAllowed));
  EXPECT_TRUE(url_list::ReadSlots(reg_).empty());
}

TEST_F(NativeHost, ServeAnswersEveryFrameAndStopsAtABrokenOne) {
  const std::string add = Msg("AddURL", "a", "http://a/").dump();
  const std::string unknown = R"({"method":"Nope"})";
  struct {
    std::string input;
    std::vector<std::string> answers;
  } cases[] = {
      {"", {}},
      // Answers in order; a malformed message does not end the conversation.
      {nh::Frame(add) + nh::Frame("{") + nh::Frame(unknown),
       {ok, Error(nh::reason::kMalformedJson), Error(nh::reason::kUnknownMethod)}},
      // A length cut off, one that announces more than follows, one over the limit (never read):
      // an error answer, and whatever follows is not taken as another message.
      {nh::Frame(add) + std::string("\x05\x00", 2), {ok, Error(nh::reason::kCutShort)}},
      {nh::Frame(add).substr(0, 20), {Error(nh::reason::kCutShort)}},
      {std::string("\x01\x00\x10\x00", 4) + nh::Frame(add), {Error(nh::reason::kTooLong)}},
      {std::string("\xFF\xFF\xFF\xFF", 4), {Error(nh::reason::kTooLong)}},
  };
  for (const auto& c : cases) {
    reg_.DeleteKey(url_list::kListKey);
    StringInput in(c.input);
    StringOutput out;
    EXPECT_EQ(nh::Serve(in, out, context), static_cast<int>(c.answers.size()));
    std::vector<nlohmann::json> want;
    for (const std::string& a : c.answers) want.push_back(nlohmann::json::parse(a));
    EXPECT_EQ(out.Answers(), want) << c.input.size();
  }

  // Exactly the limit is read; a browser that stopped reading ends the host.
  std::string big = R"({"method":"AddURL","url":"http://big/","title":")";
  big += std::string(nh::kMaxMessageBytes - big.size() - 2, 'x') + "\"}";
  ASSERT_EQ(big.size(), nh::kMaxMessageBytes);
  StringInput in(nh::Frame(big) + nh::Frame(add));
  StringOutput out;
  out.broken = true;
  EXPECT_EQ(nh::Serve(in, out, context), 0);
  EXPECT_EQ(in.pos, big.size() + 4) << "stopped after the first answer could not be written";
  EXPECT_EQ(Slot(0).url, "http://big/");
}

TEST(NativeHostCaller, OnlyOurExtensionIsServedAndOtherStartsAreNotTheHosts) {
  const std::string origin = nh::kChromiumOrigin;
  struct {
    std::vector<std::string> args;
    nh::Caller caller;
  } cases[] = {
      {{origin}, nh::Caller::kAllowed},
      {{origin, "--parent-window=131072"}, nh::Caller::kAllowed},
      {{"chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/"}, nh::Caller::kRefused},
      {{"CHROME-EXTENSION://" + origin.substr(19)}, nh::Caller::kRefused},
      {{origin + "x"}, nh::Caller::kRefused},
      {{"C:\\Program Files\\HOSHIRAI\\Zellora\\zellmate-firefox.json", nh::kFirefoxId}, nh::Caller::kAllowed},
      {{"C:\\x\\HOST.JSON", "other@example.org"}, nh::Caller::kRefused},
      {{"C:\\x\\host.json"}, nh::Caller::kNone},
      {{}, nh::Caller::kNone},
      {{"/UNREGIST"}, nh::Caller::kNone},
      {{"-Embedding"}, nh::Caller::kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(nh::IdentifyCaller(c.args), c.caller) << (c.args.empty() ? "" : c.args[0]);
  }
}

}  // namespace
