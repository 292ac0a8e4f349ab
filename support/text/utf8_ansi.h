// UTF-8 to the ANSI code page, the one conversion that needs the platform: the system's own
// tables on Windows (utf8_ansi_win.cpp), iconv to CP932 natively (utf8_ansi_posix.cpp).
#pragma once

#include <string>

// UTF-8 to the ANSI code page (code page 932 on the systems the programs target), in place.
// Invalid UTF-8 and characters the code page cannot hold become the default character "?" (on
// Windows after the system's best-fit mapping, such as e-acute to "e").
void Utf8ToAnsi(std::string& line);
