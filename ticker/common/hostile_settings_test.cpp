// Settings any program can change, set to what no writer of ours stores: the wrong type, zero
// bytes, 1 MiB, bytes that are not Shift_JIS, and nothing. Every reader must give its default and
// leave the stored value as it found it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/registry/registry.h"
#include "support/ticker_link/url_list.h"
#include "support/ticker_link/url_slot.h"
#include "ticker/common/settings.h"

namespace {

constexpr char kParent[] = "HKEY_CURRENT_USER\\Software\\ZelloraTests";

// One hostile form of a value.
struct Hostile {
  const char* what;
  std::uint32_t type;
  std::string data;
};

std::vector<Hostile> HostileForms() {
  return {
      {"text instead of a number", REG_SZ, std::string("7\0", 2)},
      {"zero bytes", REG_DWORD, ""},
      {"zero-byte text", REG_SZ, ""},
      {"1 MiB binary", REG_BINARY, std::string(1u << 20, '\x7f')},
      {"1 MiB text", REG_SZ, std::string(1u << 20, 'a') + std::string(1, '\0')},
      {"invalid Shift_JIS", REG_SZ, std::string("\x81\x7f\xa0\xfd\x82", 5)},
      {"three-byte number", REG_DWORD, std::string("\x01\x02\x03", 3)},
      {"eight-byte number", REG_BINARY, std::string("\x01\0\0\0\x01\0\0\0", 8)},
  };
}

class HostileSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    name = std::string("hostile.") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root = std::string(kParent) + "\\" + name;
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    CRegistry parent(kParent);
    parent.DeleteKey(name.c_str());
  }
  // Stores a value of any type and size through the seam, as another program could.
  void Store(const std::string& subKey, const char* value, const Hostile& form) {
    CRegistry reg(root.c_str());
    HKEY r = nullptr;
    std::string key;
    ASSERT_TRUE(reg.ResolvePath(subKey.c_str(), r, key));
    HKEY opened = nullptr;
    ASSERT_EQ(regseam::CreateKey(r, key.c_str(), regseam::kKeyAllAccess, &opened), regseam::Status::kOk);
    EXPECT_EQ(regseam::SetValue(opened, value, form.type, form.data.data(),
                                static_cast<std::uint32_t>(form.data.size())),
              regseam::Status::kOk);
    regseam::CloseKey(opened);
  }
  // The value's type and bytes, or "missing".
  std::string Raw(const std::string& subKey, const char* value) {
    CRegistry reg(root.c_str());
    HKEY r = nullptr;
    std::string key;
    if (!reg.ResolvePath(subKey.c_str(), r, key)) return "no base";
    HKEY opened = nullptr;
    if (regseam::OpenKey(r, key.c_str(), regseam::kKeyRead, &opened) != regseam::Status::kOk)
      return "missing";
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::string out = "missing";
    if (regseam::QueryValue(opened, value, &type, nullptr, &size) == regseam::Status::kOk) {
      std::string data(size, '\0');
      if (regseam::QueryValue(opened, value, &type, size ? &data[0] : nullptr, &size) ==
          regseam::Status::kOk) {
        out = std::to_string(type) + ":" + data.substr(0, size);
      }
    }
    regseam::CloseKey(opened);
    return out;
  }
  std::string name;
  std::string root;
};

// The ticker window's values: each hostile form gives the value's default (a 4-byte binary is a
// number; nothing here has exactly 4 bytes) and is left in place.
TEST_F(HostileSettings, TickerValuesFallBackToTheirDefaults) {
  const settings::TickerSettings defaults = settings::ReadTickerSettings(root.c_str());
  struct Value {
    const char* key;
    const char* name;
  };
  const Value values[] = {{"", settings::kOnline},
                          {settings::kOptionKey, settings::kHowto},
                          {settings::kOptionKey, settings::kOrder},
                          {settings::kOptionKey, settings::kLoopCount},
                          {settings::kOptionKey, settings::kSleep},
                          {settings::kOptionKey, settings::kSpeed},
                          {settings::kOptionKey, settings::kDeskPer}};
  for (const Hostile& form : HostileForms()) {
    for (const Value& v : values) {
      Store(v.key, v.name, form);
      const std::string before = Raw(v.key, v.name);
      const settings::TickerSettings read = settings::ReadTickerSettings(root.c_str());
      EXPECT_EQ(read.online, defaults.online) << form.what << " " << v.name;
      EXPECT_EQ(read.howto, defaults.howto) << form.what << " " << v.name;
      EXPECT_EQ(read.order, defaults.order) << form.what << " " << v.name;
      EXPECT_EQ(read.loopCount, defaults.loopCount) << form.what << " " << v.name;
      EXPECT_EQ(read.sleep, defaults.sleep) << form.what << " " << v.name;
      EXPECT_EQ(read.speed, defaults.speed) << form.what << " " << v.name;
      EXPECT_EQ(read.deskPer, defaults.deskPer) << form.what << " " << v.name;
      EXPECT_EQ(Raw(v.key, v.name), before) << form.what << " " << v.name;
      Clean();
    }
  }
  EXPECT_EQ(defaults.online, 1);
  EXPECT_EQ(defaults.howto, settings::kModeDesktop);
  EXPECT_EQ(defaults.deskPer, 25);
}

// "homeId" is text: a number, zero bytes or bad bytes read as some text without harm; a value of
// another type reads as empty; a missing one is empty and stays missing.
TEST_F(HostileSettings, HomeIdOfAnyFormIsReadWithoutWriting) {
  EXPECT_EQ(settings::ReadHomeId(root.c_str()), "");
  EXPECT_EQ(Raw("", settings::kHomeId), "missing");
  for (const Hostile& form : HostileForms()) {
    Store("", settings::kHomeId, form);
    const std::string before = Raw("", settings::kHomeId);
    const std::string id = settings::ReadHomeId(root.c_str());
    // The system's "A" functions may replace each invalid byte by a two-byte character.
    EXPECT_LE(id.size(), 2 * form.data.size()) << form.what;
    EXPECT_EQ(id.find('\0'), std::string::npos) << form.what;
    EXPECT_EQ(Raw("", settings::kHomeId), before) << form.what;
    Clean();
  }
}

// The URL list: hostile values in a slot and in "TEMP_URL" give empty text or level 0, never more
// than was stored; 32 slots each holding a 64 KiB title read whole.
TEST_F(HostileSettings, UrlListEntriesOfAnyForm) {
  const char* values[] = {url_list::kTitleValue, url_list::kUrlValue, url_list::kReferrerValue,
                          url_list::kLevelValue};
  const std::string keys[] = {url_list::SlotKey(0), url_list::kTempKey};
  for (const Hostile& form : HostileForms()) {
    for (const std::string& key : keys) {
      for (const char* value : values) {
        Store(key, value, form);
        const std::string before = Raw(key, value);
        CRegistry reg(root.c_str());
        UrlEntry entry;
        EXPECT_TRUE(url_list::LoadEntry(reg, key, entry)) << form.what << " " << key << " " << value;
        EXPECT_LE(entry.title.size() + entry.url.size() + entry.referrer.size(), 2 * form.data.size());
        if (std::string(value) == url_list::kLevelValue) {
          EXPECT_EQ(entry.level, 0) << form.what;
        }
        EXPECT_EQ(Raw(key, value), before) << form.what << " " << key << " " << value;
        Clean();
      }
    }
  }

  const std::string title(64u << 10, 'T');
  {
    CRegistry reg(root.c_str());
    std::vector<UrlEntry> entries(url_list::kMaxSlots);
    for (int i = 0; i < url_list::kMaxSlots; ++i) {
      entries[i].title = title;
      entries[i].url = "http://example.com/" + std::to_string(i);
    }
    ASSERT_TRUE(url_list::WriteList(reg, entries));
  }
  CRegistry reg(root.c_str());
  const std::vector<url_list::SlotEntry> slots = url_list::ReadSlots(reg);
  ASSERT_EQ(slots.size(), static_cast<std::size_t>(url_list::kMaxSlots));
  for (const url_list::SlotEntry& s : slots) {
    EXPECT_EQ(s.entry.title, title);
    EXPECT_EQ(s.entry.url, "http://example.com/" + std::to_string(s.slot));
  }
}

}  // namespace
