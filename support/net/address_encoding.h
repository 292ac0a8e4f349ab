// What goes on the wire for an address: what a browser sends for an address typed into its bar.
// Addresses are held in Shift_JIS (the URL list, the dialogs, the companion's pages) and stay so;
// only the request is made from the converted form. Its path, query and user part go out as UTF-8,
// percent-encoded, and a host name with characters beyond ASCII in its IDNA ("xn--") form.
#pragma once

#include <string>
#include <string_view>

namespace address_encoding {

// The character set of the address's bytes: the ANSI code page (932) for an address of ours, UTF-8
// for one a server named (a redirect's Location).
enum class Charset { kAnsi, kUtf8 };

// Converts an absolute address, a "//host/..." one or a relative reference. ASCII stays as written,
// except that a space becomes %20; every other character becomes its UTF-8 bytes, each as %XX
// (bytes that are no character of the charset are percent-encoded as they are). The fragment is
// dropped: it never leaves the client. False when the host name cannot be put in IDNA form; wire
// is then unspecified.
bool ToWire(std::string_view address, Charset charset, std::string& wire);

// A host name in UTF-8 to its ASCII form: mapped as browsers map it (full-width letters, digits
// and dots to ASCII, upper case to lower, half-width katakana to full width), then every label
// with characters beyond ASCII as "xn--" and its Punycode. False for a name that holds a character
// no host name may hold (symbols, spaces, invalid UTF-8), an empty label, a label that starts or
// ends with a hyphen or is longer than 63 bytes, or a name longer than 253.
bool HostToAscii(std::string_view utf8Host, std::string& ascii);

// The Punycode of one label's code points (RFC 3492), without the "xn--" prefix. False only on
// overflow, which no label of a host name comes near.
bool Punycode(std::u32string_view label, std::string& out);

}  // namespace address_encoding
