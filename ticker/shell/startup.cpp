#include "ticker/shell/startup.h"

#include "support/registry/registry.h"
#include "support/text/sjis.h"

namespace startup {

CommandSwitch EvaluateCommandLine(std::string_view commandLine) {
  const std::string upper = sjis::ToUpper(commandLine);
  if (sjis::Find(upper, "/REGIST") != std::string_view::npos) return CommandSwitch::kRegist;
  if (sjis::Find(upper, "/UNREGIST") != std::string_view::npos) return CommandSwitch::kUnregist;
  return CommandSwitch::kNone;
}

int Uninstall(AppHost& host, const char* root) {
  // At most two running tickers are asked; the pause is the only wait for them to let go.
  int asked = 0;
  // A window that is found is slept on even when the post fails (its queue may be full): it is
  // still there, and the next round asks it again.
  for (int round = 0; round < 2; ++round) {
    if (!host.Ticker().IsRunning()) break;
    if (host.Ticker().PostCommand(ticker_link::kExitCommand)) ++asked;
    host.Sleep(1000);
  }
  // The key is deleted from its parent, so the whole tree goes, URL list included.
  const std::string path(root);
  const std::size_t slash = sjis::FindLastChar(path, '\\');
  if (slash != std::string::npos && slash + 1 < path.size()) {
    CRegistry parent(path.substr(0, slash).c_str());
    parent.DeleteKey(path.substr(slash + 1).c_str());
  }
  return asked;
}

bool TakeInstance(AppHost& host) {
  // Once taken, the lock is kept; a window that exists without answering belongs to a ticker that
  // is ending (its main thread waits for its ticker thread) or hangs: it is waited for, never
  // joined by a second bar and tray icon.
  bool claimed = false;
  const unsigned long long deadline = host.NowMs() + kInstanceWaitMs;
  for (;;) {
    if (!claimed) claimed = host.ClaimInstance();
    if (host.Ticker().IsRunning()) {
      if (host.AskTickerToShowItself()) return false;
    } else if (claimed) {
      return true;
    }
    if (host.NowMs() >= deadline) return false;
    host.Sleep(kInstanceStepMs);
  }
}

int RunApplication(AppHost& host, const char* root) {
  if (!host.InitSockets()) {
    host.ReportSocketFailure();
    return 1;
  }
  host.InitControlHosting();
  if (EvaluateCommandLine(host.CommandLine()) == CommandSwitch::kUnregist) {
    Uninstall(host, root);
    return 0;
  }
  if (!TakeInstance(host)) return 0;
  // "/REGIST" asks for the same defaults a plain start applies; the switch stays accepted.
  const bool firstRun = settings::ApplyFirstRunDefaults(root);
  return host.RunMainWindow(firstRun) ? 0 : 1;
}

}  // namespace startup
