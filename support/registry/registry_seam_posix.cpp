// The native stand-in for the registry: an in-memory tree of keys and values, shared by every
// thread of the process behind one mutex, following the rules of the Windows registry that the
// programs rely on:
// - key and value names compare without ASCII letter case (double-byte characters exactly, and a
//   trail byte 0x5C is never a separator); a key name component holds at most 255 characters;
// - values keep their type and their bytes exactly as written;
// - a key is deleted only when it has no children, and a handle to a deleted key stops working;
// - a short buffer is reported with the size needed;
// - children are enumerated in name order;
// - a handle only does what its access rights allow (values need query/set rights, creating a
//   missing child needs the create right, enumeration the enumerate right).
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/registry/registry_seam.h"
#include "support/text/sjis.h"

namespace regseam {
namespace platform {

namespace {

struct Value {
  std::string name;
  std::uint32_t type = REG_NONE;
  std::string data;
};

struct Node {
  std::string name;
  Node* parent = nullptr;  // the parent owns its children, so it outlives them while attached
  bool root = false;
  bool deleted = false;
  std::map<std::string, std::shared_ptr<Node>> children;  // by upper-cased name, so in name order
  std::vector<Value> values;

  Value* FindValue(const std::string& valueName) {
    for (Value& v : values) {
      if (sjis::EqualsNoCase(v.name, valueName)) return &v;
    }
    return nullptr;
  }
};

struct Handle {
  std::shared_ptr<Node> node;
  std::uint32_t access = 0;
};

constexpr std::uint32_t kRootBase = 0x80000000u;
constexpr int kRootCount = 4;

struct Tree {
  std::mutex lock;
  std::shared_ptr<Node> roots[kRootCount];
  std::map<std::uintptr_t, Handle> handles;
  std::uintptr_t nextHandle = 0x10000;

  Tree() {
    for (auto& r : roots) {
      r = std::make_shared<Node>();
      r->root = true;
    }
  }

  // The node and rights behind a handle; null for an unknown handle or a deleted key.
  bool Resolve(HKEY key, Handle* out) {
    const auto v = reinterpret_cast<std::uintptr_t>(key);
    if (v >= kRootBase && v < kRootBase + kRootCount) {
      out->node = roots[v - kRootBase];
      out->access = kKeyAllAccess;
      return true;
    }
    auto it = handles.find(v);
    if (it == handles.end() || it->second.node->deleted) return false;
    *out = it->second;
    return true;
  }

  HKEY NewHandle(std::shared_ptr<Node> node, std::uint32_t access) {
    const std::uintptr_t v = nextHandle;
    nextHandle += 4;
    handles[v] = Handle{std::move(node), access};
    return reinterpret_cast<HKEY>(v);
  }
};

Tree& TheTree() {
  static Tree tree;
  return tree;
}

std::size_t CharCount(const std::string& s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); i = sjis::NextChar(s, i)) ++n;
  return n;
}

// Splits a sub-key path at backslashes that are whole characters. Runs of backslashes separate
// like one; a path that starts with a backslash is refused.
bool SplitPath(const char* subKey, std::vector<std::string>* parts) {
  parts->clear();
  const std::string path = subKey != nullptr ? subKey : "";
  if (!path.empty() && path[0] == '\\') return false;
  std::size_t start = 0;
  for (;;) {
    const std::size_t sep = sjis::FindChar(path, '\\', start);
    const std::string part = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (!part.empty()) {
      if (CharCount(part) > kMaxKeyNameChars) return false;
      parts->push_back(part);
    }
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  return true;
}

}  // namespace

Status OpenKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  Handle h;
  if (!t.Resolve(parent, &h)) return Status::kFailed;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, &parts)) return Status::kFailed;
  // Like Windows, a root opened with an empty sub-key is handed back as it is.
  if (parts.empty() && h.node->root) {
    *result = parent;
    return Status::kOk;
  }
  std::shared_ptr<Node> node = h.node;
  for (const std::string& part : parts) {
    auto it = node->children.find(sjis::ToUpper(part));
    if (it == node->children.end()) return Status::kNotFound;
    node = it->second;
  }
  *result = t.NewHandle(std::move(node), access);
  return Status::kOk;
}

Status CreateKey(HKEY parent, const char* subKey, std::uint32_t access, HKEY* result) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  Handle h;
  if (!t.Resolve(parent, &h)) return Status::kFailed;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, &parts)) return Status::kFailed;
  if (parts.empty() && h.node->root) {
    *result = parent;
    return Status::kOk;
  }
  std::shared_ptr<Node> node = h.node;
  bool created = false;
  for (const std::string& part : parts) {
    const std::string folded = sjis::ToUpper(part);
    auto it = node->children.find(folded);
    if (it != node->children.end()) {
      node = it->second;
      continue;
    }
    // Making the first missing key needs the create right on the given handle; the keys below it
    // are made by us.
    if (!created && (h.access & kKeyCreateSubKey) == 0) return Status::kAccessDenied;
    created = true;
    auto child = std::make_shared<Node>();
    child->name = part;
    child->parent = node.get();
    node->children[folded] = child;
    node = child;
  }
  *result = t.NewHandle(std::move(node), access);
  return Status::kOk;
}

Status QueryValue(HKEY key, const char* name, std::uint32_t* type, void* data, std::uint32_t* size) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  Handle h;
  if (!t.Resolve(key, &h)) return Status::kFailed;
  if ((h.access & kKeyQueryValue) == 0) return Status::kAccessDenied;
  if (data != nullptr && size == nullptr) return Status::kFailed;
  const Value* v = h.node->FindValue(name != nullptr ? name : "");
  if (v == nullptr) return Status::kNotFound;
  if (type != nullptr) *type = v->type;
  const auto needed = static_cast<std::uint32_t>(v->data.size());
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return Status::kOk;
  }
  if (*size < needed) {
    *size = needed;
    return Status::kMoreData;
  }
  if (needed > 0) std::memcpy(data, v->data.data(), needed);
  *size = needed;
  return Status::kOk;
}

Status SetValue(HKEY key, const char* name, std::uint32_t type, const void* data, std::uint32_t size) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  Handle h;
  if (!t.Resolve(key, &h)) return Status::kFailed;
  if ((h.access & kKeySetValue) == 0) return Status::kAccessDenied;
  if (data == nullptr && size > 0) return Status::kFailed;
  const std::string valueName = name != nullptr ? name : "";
  if (CharCount(valueName) > kMaxValueNameChars) return Status::kFailed;
  std::string bytes;
  if (size > 0) bytes.assign(static_cast<const char*>(data), size);
  if (Value* v = h.node->FindValue(valueName)) {
    v->type = type;
    v->data = std::move(bytes);
  } else {
    h.node->values.push_back(Value{valueName, type, std::move(bytes)});
  }
  return Status::kOk;
}

Status DeleteValue(HKEY key, const char* name) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  Handle h;
  if (!t.Resolve(key, &h)) return Status::kFailed;
  if ((h.access & kKeySetValue) == 0) return Status::kAccessDenied;
  auto& values = h.node->values;
  const std::string valueName = name != nullptr ? name : "";
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (sjis::EqualsNoCase(it->name, valueName)) {
      values.erase(it);
      return Status::kOk;
    }
  }
  return Status::kNotFound;
}

Status DeleteKey(HKEY key, const char* subKey) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  Handle h;
  if (!t.Resolve(key, &h)) return Status::kFailed;
  if (subKey == nullptr) return Status::kFailed;
  std::vector<std::string> parts;
  if (!SplitPath(subKey, &parts)) return Status::kFailed;
  Node* node = h.node.get();
  for (const std::string& part : parts) {
    auto it = node->children.find(sjis::ToUpper(part));
    if (it == node->children.end()) return Status::kNotFound;
    node = it->second.get();
  }
  // An empty sub-key names the key itself; the roots cannot go.
  if (node->root || node->parent == nullptr) return Status::kAccessDenied;
  if (!node->children.empty()) return Status::kAccessDenied;
  node->deleted = true;
  Node* parent = node->parent;
  node->parent = nullptr;
  parent->children.erase(sjis::ToUpper(node->name));  // may free node: touch it no more
  return Status::kOk;
}

Status EnumKey(HKEY key, std::uint32_t index, char* name, std::uint32_t nameSize) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  Handle h;
  if (!t.Resolve(key, &h)) return Status::kFailed;
  if ((h.access & kKeyEnumerateSubKeys) == 0) return Status::kAccessDenied;
  if (name == nullptr) return Status::kFailed;
  if (index >= h.node->children.size()) return Status::kNoMoreItems;
  auto it = h.node->children.begin();
  std::advance(it, index);
  const std::string& child = it->second->name;
  if (child.size() + 1 > nameSize) return Status::kMoreData;
  std::memcpy(name, child.c_str(), child.size() + 1);
  return Status::kOk;
}

Status CloseKey(HKEY key) {
  Tree& t = TheTree();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.handles.erase(reinterpret_cast<std::uintptr_t>(key)) == 1 ? Status::kOk : Status::kFailed;
}

bool CollateEqualNoCase(const char* a, const char* b) {
  return sjis::EqualsNoCase(a, b);
}

}  // namespace platform
}  // namespace regseam
