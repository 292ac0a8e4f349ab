// Command line of zellora-extract.
#pragma once

#include <string>

struct ExtractOptions {
  int level = 20;      // minimum item length in bytes
  int encoding = 0;    // initial character-set code for a file (0 detect ... 4 UTF-8)
  bool utf8 = false;   // print UTF-8 instead of Shift_JIS
  bool links = false;  // each item followed by a TAB and its link
  bool help = false;
  bool hasReferrer = false;  // an empty referrer differs from none
  std::string referrer;
  std::string user;
  std::string password;
  std::string target;  // a file name ("-" for standard input) or a URL
  bool isUrl = false;
};

// Parses argv[1..argc). On failure returns false with a one-line reason in error; options is then
// partly filled and must not be used.
bool ParseExtractArgs(int argc, const char* const* argv, ExtractOptions& options, std::string& error);

// The usage text (several lines, ending with a line feed).
const char* ExtractUsage();

// True for an http:// or https:// address (scheme in any case).
bool IsHttpUrl(const std::string& target);
