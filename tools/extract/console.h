// The console side of zellora-extract: UTF-8 for a terminal, binary standard streams.
#pragma once

#include <string>
#include <string_view>

// Converts text; bytes that form no code page 932 character become a replacement character.
// Never fails.
std::string SjisToUtf8(std::string_view text);

// Puts standard input and output in binary mode, so that page bytes pass unchanged.
void SetBinaryStdio();
