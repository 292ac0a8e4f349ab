// Rules of the in-memory registry that Wine does not enforce but Windows does, so the native
// build catches code that would only fail on Windows.
#include <gtest/gtest.h>

#include "support/registry/registry_seam.h"

namespace {

using regseam::ScopedKey;
using regseam::Status;

TEST(RegistrySeamPosix, CreatingAChildNeedsTheCreateRight) {
  ScopedKey base;
  ASSERT_EQ(regseam::CreateKey(HKEY_CURRENT_USER, "Software\\ZelloraTest\\SeamPosixCreateRight",
                               regseam::kKeyAllAccess, base.Receive()),
            Status::kOk);
  ScopedKey existing;
  ASSERT_EQ(regseam::CreateKey(base.Get(), "existing", regseam::kKeyAllAccess, existing.Receive()),
            Status::kOk);
  ScopedKey ro;
  ASSERT_EQ(regseam::OpenKey(base.Get(), "", regseam::kKeyRead, ro.Receive()), Status::kOk);
  ScopedKey child;
  EXPECT_EQ(regseam::CreateKey(ro.Get(), "child", regseam::kKeyAllAccess, child.Receive()),
            Status::kAccessDenied);
  EXPECT_EQ(regseam::CreateKey(ro.Get(), "existing", regseam::kKeyAllAccess, child.Receive()), Status::kOk);
  EXPECT_EQ(regseam::DeleteKey(ro.Get(), "child"), Status::kNotFound);
  child.Close();
  existing.Close();
  EXPECT_EQ(regseam::DeleteKey(base.Get(), "existing"), Status::kOk);
  ro.Close();
  base.Close();
  EXPECT_EQ(regseam::DeleteKey(HKEY_CURRENT_USER, "Software\\ZelloraTest\\SeamPosixCreateRight"),
            Status::kOk);
}

TEST(RegistrySeamPosix, RootsOpenAsThemselvesAndCannotBeDeleted) {
  HKEY k = nullptr;
  ASSERT_EQ(regseam::OpenKey(HKEY_LOCAL_MACHINE, "", regseam::kKeyRead, &k), Status::kOk);
  EXPECT_EQ(k, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(regseam::CloseKey(k), Status::kOk);
  EXPECT_NE(regseam::DeleteKey(HKEY_LOCAL_MACHINE, ""), Status::kOk);
  // A leading backslash is no valid sub-key.
  EXPECT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, "\\Software", regseam::kKeyRead, &k), Status::kFailed);
}

}  // namespace
