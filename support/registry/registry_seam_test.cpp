// The registry primitives behave alike in both builds: natively against the in-memory tree,
// under Wine against the real registry. Each test works below a key of its own.
#include "support/registry/registry_seam.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using regseam::Op;
using regseam::ScopedKey;
using regseam::Status;

class RegistrySeam : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    name_ = std::string("Seam_") + info->name();
    ASSERT_EQ(regseam::CreateKey(HKEY_CURRENT_USER, "Software\\ZelloraTest", regseam::kKeyAllAccess,
                                 parent_.Receive()),
              Status::kOk);
    Wipe();
    ASSERT_EQ(regseam::CreateKey(parent_.Get(), name_.c_str(), regseam::kKeyAllAccess, key_.Receive()),
              Status::kOk);
    handles_ = regseam::OpenHandleCount();
  }
  void TearDown() override {
    regseam::ClearFailures();
    EXPECT_EQ(regseam::OpenHandleCount(), handles_) << "a handle was left open";
    key_.Close();
    Wipe();
  }
  // Leaf-first removal of this test's key, with the primitives alone.
  void WipeBelow(HKEY parent, const std::string& sub) {
    ScopedKey k;
    if (regseam::OpenKey(parent, sub.c_str(), regseam::kKeyAllAccess, k.Receive()) != Status::kOk) return;
    char child[600];
    while (regseam::EnumKey(k.Get(), 0, child, sizeof child) == Status::kOk) {
      const std::string c = child;
      WipeBelow(k.Get(), c);
      if (regseam::DeleteKey(k.Get(), c.c_str()) != Status::kOk) break;
    }
  }
  void Wipe() {
    WipeBelow(parent_.Get(), name_);
    regseam::DeleteKey(parent_.Get(), name_.c_str());
  }
  Status SetString(HKEY k, const char* name, const std::string& data) {
    return regseam::SetValue(k, name, REG_SZ, data.data(), static_cast<std::uint32_t>(data.size()));
  }

  std::string name_;
  ScopedKey parent_;
  ScopedKey key_;
  long handles_ = 0;
};

TEST_F(RegistrySeam, KeyNamesIgnoreAsciiCaseAndKeepTheirSpelling) {
  ScopedKey a;
  ASSERT_EQ(regseam::CreateKey(key_.Get(), "MixedCase\\Inner", regseam::kKeyAllAccess, a.Receive()),
            Status::kOk);
  ScopedKey b;
  EXPECT_EQ(regseam::OpenKey(key_.Get(), "MIXEDCASE\\inner", regseam::kKeyRead, b.Receive()), Status::kOk);
  char child[300] = {};
  ASSERT_EQ(regseam::EnumKey(key_.Get(), 0, child, sizeof child), Status::kOk);
  EXPECT_STREQ(child, "MixedCase");
  EXPECT_EQ(regseam::EnumKey(key_.Get(), 1, child, sizeof child), Status::kNoMoreItems);
  // Value names too.
  ASSERT_EQ(SetString(a.Get(), "Title", std::string("x\0", 2)), Status::kOk);
  std::uint32_t type = 0;
  EXPECT_EQ(regseam::QueryValue(a.Get(), "TITLE", &type, nullptr, nullptr), Status::kOk);
  EXPECT_EQ(type, static_cast<std::uint32_t>(REG_SZ));
  EXPECT_EQ(regseam::DeleteValue(a.Get(), "title"), Status::kOk);
  EXPECT_EQ(regseam::DeleteValue(a.Get(), "Title"), Status::kNotFound);
}

TEST_F(RegistrySeam, KeysWithChildrenAreNotDeletedAndMissingOnesAreReported) {
  ScopedKey k;
  ASSERT_EQ(regseam::CreateKey(key_.Get(), "a\\b", regseam::kKeyAllAccess, k.Receive()), Status::kOk);
  k.Close();
  EXPECT_NE(regseam::DeleteKey(key_.Get(), "a"), Status::kOk);
  EXPECT_EQ(regseam::DeleteKey(key_.Get(), "a\\b"), Status::kOk);
  EXPECT_EQ(regseam::DeleteKey(key_.Get(), "a"), Status::kOk);
  EXPECT_EQ(regseam::DeleteKey(key_.Get(), "a"), Status::kNotFound);
  EXPECT_EQ(regseam::OpenKey(key_.Get(), "a", regseam::kKeyRead, k.Receive()), Status::kNotFound);
}

TEST_F(RegistrySeam, HandleOfADeletedKeyStopsWorking) {
  ScopedKey k;
  ASSERT_EQ(regseam::CreateKey(key_.Get(), "gone", regseam::kKeyAllAccess, k.Receive()), Status::kOk);
  ASSERT_EQ(regseam::DeleteKey(key_.Get(), "gone"), Status::kOk);
  const std::uint32_t v = 1;
  EXPECT_NE(regseam::SetValue(k.Get(), "x", REG_DWORD, &v, 4), Status::kOk);
  ScopedKey child;
  EXPECT_NE(regseam::CreateKey(k.Get(), "child", regseam::kKeyAllAccess, child.Receive()), Status::kOk);
}

TEST_F(RegistrySeam, ReadOnlyHandleCannotWrite) {
  ScopedKey ro;
  ASSERT_EQ(regseam::OpenKey(key_.Get(), "", regseam::kKeyRead, ro.Receive()), Status::kOk);
  const std::uint32_t v = 1;
  EXPECT_EQ(regseam::SetValue(ro.Get(), "x", REG_DWORD, &v, 4), Status::kAccessDenied);
  // Opening an existing child through it is fine.
  ASSERT_EQ(regseam::SetValue(key_.Get(), "x", REG_DWORD, &v, 4), Status::kOk);
  std::uint32_t got = 0;
  std::uint32_t size = 4;
  EXPECT_EQ(regseam::QueryValue(ro.Get(), "x", nullptr, &got, &size), Status::kOk);
  EXPECT_EQ(got, 1u);
}

TEST_F(RegistrySeam, KeyNameComponentsHoldAtMost255Characters) {
  ScopedKey k;
  EXPECT_EQ(
      regseam::CreateKey(key_.Get(), std::string(255, 'k').c_str(), regseam::kKeyAllAccess, k.Receive()),
      Status::kOk);
  // (Windows stops at 255, Wine at 256.)
  EXPECT_NE(
      regseam::CreateKey(key_.Get(), std::string(300, 'k').c_str(), regseam::kKeyAllAccess, k.Receive()),
      Status::kOk);
  EXPECT_FALSE(k);
  // 200 double-byte characters are 400 bytes but 200 characters.
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "表";
  ScopedKey w;
  ASSERT_EQ(regseam::CreateKey(key_.Get(), "w", regseam::kKeyAllAccess, w.Receive()), Status::kOk);
  EXPECT_EQ(regseam::CreateKey(w.Get(), wide.c_str(), regseam::kKeyAllAccess, k.Receive()), Status::kOk);
  char child[401];
  EXPECT_EQ(regseam::EnumKey(w.Get(), 0, child, 400), Status::kMoreData);
  ASSERT_EQ(regseam::EnumKey(w.Get(), 0, child, sizeof child), Status::kOk);
  EXPECT_EQ(std::string(child), wide);
}

TEST_F(RegistrySeam, InjectedFailuresHitTheNthCallOnly) {
  const long before = regseam::CallCount(Op::kOpen);
  regseam::FailCall(Op::kOpen, 2, Status::kAccessDenied);
  ScopedKey k;
  EXPECT_EQ(regseam::OpenKey(key_.Get(), "", regseam::kKeyRead, k.Receive()), Status::kOk);
  EXPECT_EQ(regseam::OpenKey(key_.Get(), "", regseam::kKeyRead, k.Receive()), Status::kAccessDenied);
  EXPECT_FALSE(k);
  EXPECT_EQ(regseam::OpenKey(key_.Get(), "", regseam::kKeyRead, k.Receive()), Status::kOk);
  EXPECT_EQ(regseam::CallCount(Op::kOpen), before + 3);
  {
    regseam::ScopedFailure sticky(Op::kSet, 1, Status::kFailed, true);
    const std::uint32_t v = 1;
    EXPECT_EQ(regseam::SetValue(key_.Get(), "a", REG_DWORD, &v, 4), Status::kFailed);
    EXPECT_EQ(regseam::SetValue(key_.Get(), "a", REG_DWORD, &v, 4), Status::kFailed);
  }
  const std::uint32_t v = 1;
  EXPECT_EQ(regseam::SetValue(key_.Get(), "a", REG_DWORD, &v, 4), Status::kOk);
  regseam::FailCall(Op::kCompare, 1);
  EXPECT_FALSE(regseam::CollateEqualNoCase("a", "A"));
  EXPECT_TRUE(regseam::CollateEqualNoCase("a", "A"));
}

TEST_F(RegistrySeam, ConcurrentWritersKeepEveryValue) {
  std::vector<std::thread> threads;
  threads.reserve(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this, t] {
      for (int i = 0; i < 50; ++i) {
        ScopedKey k;
        const std::string sub = "t" + std::to_string(t);
        if (regseam::CreateKey(key_.Get(), sub.c_str(), regseam::kKeyAllAccess, k.Receive()) != Status::kOk)
          return;
        const std::string name = "v" + std::to_string(i);
        const std::uint32_t v = static_cast<std::uint32_t>(i);
        regseam::SetValue(k.Get(), name.c_str(), REG_DWORD, &v, 4);
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) {
    ScopedKey k;
    const std::string sub = "t" + std::to_string(t);
    ASSERT_EQ(regseam::OpenKey(key_.Get(), sub.c_str(), regseam::kKeyRead, k.Receive()), Status::kOk);
    for (int i = 0; i < 50; ++i) {
      std::uint32_t got = 0;
      std::uint32_t size = 4;
      const std::string name = "v" + std::to_string(i);
      ASSERT_EQ(regseam::QueryValue(k.Get(), name.c_str(), nullptr, &got, &size), Status::kOk);
      EXPECT_EQ(got, static_cast<std::uint32_t>(i));
    }
  }
}

}  // namespace
