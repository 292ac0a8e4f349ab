#include "ticker/news/ticker_store.h"

#include "support/registry/registry.h"

settings::TickerSettings RegistryTickerStore::ReadSettings() {
  return settings::ReadTickerSettings(root.c_str());
}

settings::ProxyCredentials RegistryTickerStore::ReadProxy() {
  return settings::ReadProxyCredentials(root.c_str());
}

bool RegistryTickerStore::KeyExists(const std::string& key) {
  CRegistry reg(root);
  return reg.ValueExists(key, "");
}

bool RegistryTickerStore::LoadEntry(const std::string& key, UrlEntry& entry) {
  CRegistry reg(root);
  return url_list::LoadEntry(reg, key, entry);
}

bool RegistryTickerStore::DeleteKey(const std::string& key) {
  CRegistry reg(root);
  return reg.DeleteKey(key);
}

std::string RegistryTickerStore::ReadHomeId() {
  return settings::ReadHomeId(root.c_str());
}

bool RegistryTickerStore::WriteHomeId(const std::string& id) {
  return settings::WriteHomeId(id, root.c_str());
}
