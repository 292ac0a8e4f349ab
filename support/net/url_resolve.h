// Addresses written relative to a page: resolving a link's href, a feed's xml:base or a
// download's path against the address of the document it was found in.
#pragma once

#include <string>
#include <string_view>

// The absolute address reference stands for in a document whose address is base, as a browser
// resolves a link (reference resolution of RFC 3986, dot segments removed). White space around
// reference is ignored; an empty reference is base without its fragment. A reference with a scheme
// of its own is taken as it is (its dot segments removed). Returns empty text when base is not an
// absolute address and reference is relative. Bytes are never re-encoded: Shift_JIS text in an
// address stays as it is (no trail byte is one of the delimiters "/?#.:").
std::string ResolveUrl(std::string_view base, std::string_view reference);

// True for an http: or https: address (scheme in any case) with a host part.
bool IsWebAddress(std::string_view url);
