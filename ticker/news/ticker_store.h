// What the rotation engine keeps in the registry: its settings, the proxy credentials, the URL
// list and the channel's "homeId". RegistryTickerStore reads and writes Zellora's own key; tests
// give the engine an in-memory store.
#pragma once

#include <string>
#include <utility>

#include "support/ticker_link/url_list.h"
#include "ticker/common/settings.h"

class TickerStore {
 public:
  virtual ~TickerStore() = default;

  // The ticker window's settings, read afresh with their defaults ("DeskPer" as a percentage).
  virtual settings::TickerSettings ReadSettings() = 0;
  // The proxy user and password (both empty unless "bProxyAuth" is on).
  virtual settings::ProxyCredentials ReadProxy() = 0;

  // Whether a URL-list sub-key (slot key or the temporary key) exists.
  virtual bool KeyExists(const std::string& key) = 0;
  // Reads an entry; missing values read as empty text and level 0. False when the key is missing.
  virtual bool LoadEntry(const std::string& key, UrlEntry& entry) = 0;
  virtual bool DeleteKey(const std::string& key) = 0;

  virtual std::string ReadHomeId() = 0;
  virtual bool WriteHomeId(const std::string& id) = 0;
};

// The store on Zellora's registry key (HKEY_CURRENT_USER\Software\HOSHIRAI\Zellora), or on
// another root a test names. Every call opens the registry afresh and lets go.
class RegistryTickerStore : public TickerStore {
 public:
  explicit RegistryTickerStore(std::string rootPath = ticker_link::kRootPath) : root(std::move(rootPath)) {}
  settings::TickerSettings ReadSettings() override;
  settings::ProxyCredentials ReadProxy() override;
  bool KeyExists(const std::string& key) override;
  bool LoadEntry(const std::string& key, UrlEntry& entry) override;
  bool DeleteKey(const std::string& key) override;
  std::string ReadHomeId() override;
  bool WriteHomeId(const std::string& id) override;

 private:
  std::string root;
};
