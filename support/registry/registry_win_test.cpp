// The portable registry header and <windows.h> agree on the handle type, the roots and the value
// types, whichever comes first (registry_seam_win.cpp includes them the other way round).
// clang-format off
#include "support/registry/registry.h"
#include <windows.h>  // deliberately after the portable header
// clang-format on

#include <gtest/gtest.h>

namespace {

static_assert(REG_SZ == 1 && REG_EXPAND_SZ == 2 && REG_BINARY == 3 && REG_DWORD == 4 && REG_NONE == 0, "");

TEST(RegistryWin, PortableRootsAreTheRealOnes) {
  HKEY viaApi = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &viaApi), ERROR_SUCCESS);
  RegCloseKey(viaApi);
  // The same root handle reaches the same key through the seam.
  regseam::ScopedKey k;
  EXPECT_EQ(regseam::OpenKey(HKEY_CURRENT_USER, "Software", regseam::kKeyRead, k.Receive()),
            regseam::Status::kOk);
  CRegistry r("HKEY_LOCAL_MACHINE\\Software");
  EXPECT_EQ(r.GetBaseRoot(), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HKEY_USERS), static_cast<ULONG_PTR>(static_cast<LONG>(0x80000003)));
}

}  // namespace
