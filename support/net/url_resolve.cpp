#include "support/net/url_resolve.h"

#include "support/text/sjis.h"

namespace {

struct Parts {
  std::string_view scheme;  // without ":"
  bool hasAuthority = false;
  std::string_view authority;
  std::string_view path;
  bool hasQuery = false;
  std::string_view query;  // without "?"
  bool hasFragment = false;
  std::string_view fragment;  // without "#"
};

bool IsAlpha(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsSchemeChar(char c) {
  return IsAlpha(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

Parts Split(std::string_view s) {
  Parts p;
  // scheme: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
  if (!s.empty() && IsAlpha(s[0])) {
    std::size_t i = 1;
    while (i < s.size() && IsSchemeChar(s[i])) ++i;
    if (i < s.size() && s[i] == ':') {
      p.scheme = s.substr(0, i);
      s.remove_prefix(i + 1);
    }
  }
  const std::size_t hash = s.find('#');
  if (hash != std::string_view::npos) {
    p.hasFragment = true;
    p.fragment = s.substr(hash + 1);
    s = s.substr(0, hash);
  }
  const std::size_t question = s.find('?');
  if (question != std::string_view::npos) {
    p.hasQuery = true;
    p.query = s.substr(question + 1);
    s = s.substr(0, question);
  }
  if (s.size() >= 2 && s[0] == '/' && s[1] == '/') {
    p.hasAuthority = true;
    s.remove_prefix(2);
    const std::size_t slash = s.find('/');
    p.authority = s.substr(0, slash);
    s = slash == std::string_view::npos ? std::string_view() : s.substr(slash);
  }
  p.path = s;
  return p;
}

// The path with "." and ".." segments removed.
std::string RemoveDotSegments(std::string_view in) {
  std::string out;
  while (!in.empty()) {
    if (in.substr(0, 3) == "../") {
      in.remove_prefix(3);
    } else if (in.substr(0, 2) == "./" || in.substr(0, 3) == "/./") {
      // "./" goes; of "/./" the "/" stays.
      in.remove_prefix(2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.substr(0, 4) == "/../" || in == "/..") {
      // Up one level: the last segment written goes, and the "/" is read again.
      in = in.size() == 3 ? std::string_view("/") : in.substr(3);
      const std::size_t last = out.rfind('/');
      out.erase(last == std::string::npos ? 0 : last);
    } else if (in == "." || in == "..") {
      in = std::string_view();
    } else {
      // The first segment, with its leading "/" if any, up to the next "/".
      const std::size_t next = in.find('/', 1);
      const std::size_t n = next == std::string_view::npos ? in.size() : next;
      out.append(in.data(), n);
      in.remove_prefix(n);
    }
  }
  return out;
}

std::string Join(const Parts& p, const std::string& path) {
  std::string out;
  out.reserve(p.scheme.size() + p.authority.size() + path.size() + p.query.size() + 8);
  if (!p.scheme.empty()) {
    out.append(p.scheme);
    out += ':';
  }
  if (p.hasAuthority) {
    out += "//";
    out.append(p.authority);
  }
  out += path;
  if (p.hasQuery) {
    out += '?';
    out.append(p.query);
  }
  if (p.hasFragment) {
    out += '#';
    out.append(p.fragment);
  }
  return out;
}

}  // namespace

std::string ResolveUrl(std::string_view base, std::string_view reference) {
  reference = sjis::TrimView(reference);
  const Parts r = Split(reference);
  if (!r.scheme.empty()) return Join(r, RemoveDotSegments(r.path));
  Parts b = Split(sjis::TrimView(base));
  if (b.scheme.empty()) return std::string();

  Parts t;
  t.scheme = b.scheme;
  std::string path;
  if (r.hasAuthority) {
    t.hasAuthority = true;
    t.authority = r.authority;
    path = RemoveDotSegments(r.path);
    t.hasQuery = r.hasQuery;
    t.query = r.query;
  } else {
    t.hasAuthority = b.hasAuthority;
    t.authority = b.authority;
    if (r.path.empty()) {
      path = std::string(b.path);
      t.hasQuery = r.hasQuery || b.hasQuery;
      t.query = r.hasQuery ? r.query : b.query;
    } else {
      if (r.path[0] == '/') {
        path = RemoveDotSegments(r.path);
      } else {
        std::string merged;
        if (b.hasAuthority && b.path.empty()) {
          merged = "/";
        } else {
          const std::size_t slash = b.path.rfind('/');
          if (slash != std::string_view::npos) merged.assign(b.path.substr(0, slash + 1));
        }
        merged.append(r.path);
        path = RemoveDotSegments(merged);
      }
      t.hasQuery = r.hasQuery;
      t.query = r.query;
    }
  }
  t.hasFragment = r.hasFragment;
  t.fragment = r.fragment;
  return Join(t, path);
}

bool IsWebAddress(std::string_view url) {
  const Parts p = Split(url);
  return (sjis::EqualsNoCase(p.scheme, "http") || sjis::EqualsNoCase(p.scheme, "https")) && p.hasAuthority &&
         !p.authority.empty();
}
