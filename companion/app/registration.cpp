#include "companion/app/registration.h"

#include "support/registry/registry.h"
#include "support/system/paths.h"

namespace zellmate {

namespace {

bool WriteMenuKey(CRegistry& menuExt, const char* key, const std::string& folder, const char* page) {
  const std::string path = folder.empty() ? std::string() : paths::JoinPath(folder, page);
  bool ok = menuExt.WriteString(key, "", path);
  ok = menuExt.WriteNumber(key, kContextsValue, kMenuContexts) && ok;
  return ok;
}

}  // namespace

bool RegisterMenu(CRegistry& menuExt, const std::string& folder) {
  bool ok = WriteMenuKey(menuExt, kAddMenuKey, folder, kAddPage);
  ok = WriteMenuKey(menuExt, kSendMenuKey, folder, kSendPage) && ok;
  return ok;
}

bool UnregisterMenu(CRegistry& menuExt) {
  // Only keys are deleted: DeleteKey would take a missing key's name for a value of MenuExt.
  bool ok = true;
  for (const char* key : {kAddMenuKey, kSendMenuKey}) {
    if (menuExt.ValueExists(key, "")) {
      ok = menuExt.DeleteKey(key) && ok;
    } else {
      ok = false;
    }
  }
  return ok;
}

bool RegisterServer(CRegistry& classes, const std::string& serverPath) {
  const std::string progIdKey = kProgId;
  const std::string clsidKey = std::string("CLSID\\") + kClsidText;
  bool ok = classes.WriteString(progIdKey, "", kProgId);
  ok = classes.WriteString(progIdKey + "\\CLSID", "", kClsidText) && ok;
  ok = classes.WriteString(clsidKey, "", kProgId) && ok;
  // Quoted: the program's folder may hold blanks, and the runtime appends its switch.
  ok = classes.WriteString(clsidKey + "\\LocalServer32", "", "\"" + serverPath + "\"") && ok;
  ok = classes.WriteString(clsidKey + "\\ProgID", "", kProgId) && ok;
  return ok;
}

}  // namespace zellmate
