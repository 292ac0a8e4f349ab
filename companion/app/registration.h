// What Zellmate writes in registration mode: the browser's two context-menu entries, each naming
// a script page beside the program, and the automation server the pages create.
#pragma once

#include <string>

class CRegistry;

namespace zellmate {

constexpr const char kMenuExtPath[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt";
constexpr const char kAddMenuKey[] = "Zelloraに追加";
constexpr const char kSendMenuKey[] = "Zelloraに送る";
constexpr const char kAddPage[] = "ZellAdd.htm";
constexpr const char kSendPage[] = "ZellSend.htm";
constexpr const char kContextsValue[] = "contexts";
// The page menu, images, selected text and links (and the two bits above them).
constexpr int kMenuContexts = 0xF3;

// The automation server. The ids are the product's own and never change: pages and clients
// already installed name them.
constexpr const char kClassesPath[] = "HKEY_CLASSES_ROOT";
constexpr const char kProgId[] = "Zellmate.Application";
constexpr const char kClsidText[] = "{20A86032-7B79-492D-BE26-D23CA7542C12}";
constexpr const char kInterfaceIdText[] = "{7BA10111-FA4C-4D2B-9591-4CBA773B1CB4}";

// Writes both menu keys below menuExt (bound to kMenuExtPath): the default value = the page's
// path in folder, "contexts" = kMenuContexts. An empty folder gives empty paths (the pages are
// not looked for). False when a write failed.
bool RegisterMenu(CRegistry& menuExt, const std::string& folder);
// Deletes both menu keys with everything below them. False when either did not exist.
bool UnregisterMenu(CRegistry& menuExt);
// The server's registration below classes (bound to kClassesPath): the programmatic id with its
// class id, the class id's local server (serverPath, quoted) and the id's way back to the
// programmatic id. False when a write failed.
bool RegisterServer(CRegistry& classes, const std::string& serverPath);

}  // namespace zellmate
