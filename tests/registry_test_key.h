// A fixture for suites that work in the registry: each test gets a key of its own,
// HKEY_CURRENT_USER\Software\ZelloraTest\<test name>, emptied before and removed after the test,
// and a CRegistry based on it. Every test also checks that it left no key handle open.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/registry/registry.h"

class RegistryKeyTest : public ::testing::Test {
 protected:
  static constexpr const char kTestRoot[] = "HKEY_CURRENT_USER\\Software\\ZelloraTest";
  static constexpr const char kTestRootSubKey[] = "Software\\ZelloraTest";

  void SetUp() override {
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    subKey_ = std::string(kTestRootSubKey) + "\\" + name_;
    base_ = std::string(kTestRoot) + "\\" + name_;
    CRegistry cleaner(kTestRoot);
    cleaner.DeleteKey(name_);
    ASSERT_TRUE(reg_.SetBasePath(base_));
    ASSERT_TRUE(reg_.CreateKey(""));
    handles_ = regseam::OpenHandleCount();
  }
  void TearDown() override {
    regseam::ClearFailures();
    EXPECT_EQ(regseam::OpenHandleCount(), handles_) << "a handle was left open";
    CRegistry cleaner(kTestRoot);
    EXPECT_TRUE(cleaner.DeleteKey(name_));
  }

  std::string name_;    // the test's name, its key below kTestRoot
  std::string subKey_;  // that key below HKEY_CURRENT_USER
  std::string base_;    // its full path, the base of reg_
  CRegistry reg_;
  long handles_ = 0;
};
