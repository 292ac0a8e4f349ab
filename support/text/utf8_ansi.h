// UTF-8 to the ANSI code page and back, the conversions that need the platform: the system's own
// tables on Windows (utf8_ansi_win.cpp), iconv's CP932 natively (utf8_ansi_posix.cpp).
#pragma once

#include <string>
#include <string_view>

// UTF-8 to the ANSI code page (code page 932 on the systems the programs target), in place.
// Invalid UTF-8 and characters the code page cannot hold become the default character "?" (on
// Windows after the system's best-fit mapping, such as e-acute to "e").
void Utf8ToAnsi(std::string& line);

// ANSI text (code page 932) to UTF-8. False when the text holds a byte sequence the code page does
// not define (a lone lead byte, say); utf8 is then unspecified. Callers that must keep such bytes
// convert one character at a time.
bool AnsiToUtf8(std::string_view ansi, std::string& utf8);
