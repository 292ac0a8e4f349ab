// The tag scan of the shop's download pages: a line is cut into text runs and tags from left to
// right, and the few attribute values the download needs are taken from single tags.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace catalogue {

enum class Piece { kText, kTag, kEnd };

// The next piece of line from pos on (pos moves past it). Text before a "<" is one piece; a tag
// runs from "<" to the first ">" inclusive and is returned in tag. A "<" with no ">" after it
// ends the line: a tag continued on the next line is never seen.
Piece NextPiece(std::string_view line, std::size_t& pos, std::string_view& tag);

// The value of a quoted attribute of tag: the text between the first two double quotes at or
// after one past the position of key in a lower-case copy of tag (from the start of the tag when
// key is absent). False when a quote is missing or the value is empty.
bool QuotedValue(std::string_view tag, std::string_view key, std::string& value);

// The address of a refresh tag: the text after "URL=" (in upper case as written, nothing else)
// up to the next double quote. False when either is missing or nothing follows "URL=".
bool RefreshValue(std::string_view tag, std::string& value);

}  // namespace catalogue
