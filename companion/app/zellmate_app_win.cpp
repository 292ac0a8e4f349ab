#include "companion/app/zellmate_app_win.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "companion/app/auto_proxy_win.h"
#include "companion/app/native_host_win.h"
#include "companion/app/registration.h"
#include "companion/app/start_mode.h"
#include "companion/app/zellmate_dlg_win.h"
#include "companion/res/resource.h"
#include "support/registry/registry.h"
#include "support/system/paths_win.h"
#include "support/win/com.h"

namespace zellmate {

namespace {

struct AppState {
  CZellmateDlg* mainDialog = nullptr;
  // False in a process the COM runtime started: it ends when its last object is gone.
  bool userControl = true;
  long locks = 0;
  AddOptions addOptions;
};
AppState g_app;

void ShowOleFailure(HINSTANCE instance) {
  char text[512] = {};
  if (::LoadStringA(instance, IDP_OLE_INIT_FAILED, text, sizeof text) <= 0) return;
  ::MessageBoxA(nullptr, text, "Zellmate", MB_OK | MB_ICONEXCLAMATION);
}

int RunAutomation() {
  g_app.userControl = false;
  // The pending creation request reaches this process once the class is registered and the
  // loop below runs.
  DWORD cookie = 0;
  const HRESULT registered =
      ::CoRegisterClassObject(kZellmateClsid, ProxyFactory(), CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie);
  {
    CZellmateDlg dialog;
    g_app.mainDialog = &dialog;
    // The template is not visible and the loop never shows it.
    if (SUCCEEDED(registered) && dialog.Create(nullptr)) dialog.RunModalLoop();
    g_app.mainDialog = nullptr;
  }
  if (SUCCEEDED(registered)) ::CoRevokeClassObject(cookie);
  return 0;
}

void RunRegistration(StartMode mode) {
  CRegistry menuExt(kMenuExtPath);
  if (mode == StartMode::kUnregister) {
    // The server's own registration stays: nothing else removes it either.
    UnregisterMenu(menuExt);
    return;
  }
  RegisterMenu(menuExt, paths::GetModuleFolder(""));
  std::string program;
  if (paths::GetModulePath("", program)) {
    CRegistry classes(kClassesPath);
    RegisterServer(classes, program);
  }
}

}  // namespace

void LockApp() {
  ++g_app.locks;
}

void UnlockApp() {
  if (g_app.locks > 0) --g_app.locks;
  if (g_app.locks == 0 && !g_app.userControl && g_app.mainDialog) g_app.mainDialog->DestroyWindow();
}

CZellmateDlg* MainDialog() {
  return g_app.mainDialog;
}

const AddOptions& AppAddOptions() {
  return g_app.addOptions;
}

int RunZellmate(HINSTANCE instance, const AddOptions& addOptions) {
  g_app.addOptions = addOptions;
  // A browser's start: the host needs neither OLE nor a window, and must never show a message box.
  // The C runtime has split the command line by the system's rules (a quoted manifest path).
  const std::vector<std::string> args(__argv + (__argc > 0 ? 1 : 0), __argv + __argc);
  const native_host::Caller caller = native_host::IdentifyCaller(args);
  if (caller != native_host::Caller::kNone) return native_host::RunNativeHost(caller, addOptions);
  win::COleInit ole;
  if (!ole.Ok()) {
    ShowOleFailure(instance);
    return 1;
  }
  // OLE is all that hosting a control would need; Zellmate's window holds none.
  std::string commandLine = ::GetCommandLineA();
  const StartMode mode = ParseStartMode(commandLine);
  if (mode == StartMode::kAutomation) return RunAutomation();
  RunRegistration(mode);
  return 0;
}

}  // namespace zellmate
