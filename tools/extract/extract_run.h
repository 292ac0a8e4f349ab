// What zellora-extract does, apart from its main().
#pragma once

#include <cstdio>
#include <string>

#include "tools/extract/extract_args.h"

class NewsList;

// Reads a saved page body from file exactly as a fetch reads one from the network (split at line
// feeds, trimmed, empty lines skipped, converted starting from the character set encoding) and
// extracts it at level into list, line by line (a feed is read as a feed). Returns false, leaving list with
// the "＜ページが見つかりません %s＞" item for name and failed = 1, when the file cannot be read (or with
// "＜読み込みエラー＞" when the extraction broke down).
bool ExtractFile(std::FILE* file, const std::string& name, int encoding, int level, NewsList& list);

// The tool's output: the title on the first line, then one line per item; UTF-8 when utf8. With
// links, every item is followed by a TAB and its link (a TAB inside an item becomes a space).
std::string FormatNewsList(const NewsList& list, bool utf8, bool links = false);

// Runs the extraction the options describe and appends the output to out. Returns the exit
// status: 0 when the page was read, 1 when it could not be (out still holds the error item).
int RunExtract(const ExtractOptions& options, std::string& out);
