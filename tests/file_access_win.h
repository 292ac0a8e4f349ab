// Which files this process creates, and whether each was created for every user of the machine
// ("Everyone" allowed to write it), for the tests of files that other users must not be able to
// replace. Wine keeps no file access lists (it maps the descriptor a file is created with onto
// Unix mode bits and reports a fixed list back), so the descriptor a program asks for is what
// can be checked under it: the watch sees every CreateFileA call of the test program through the
// program's import table. On Windows the descriptor asked for is what the new file gets.
#pragma once

#include <map>
#include <string>

namespace file_access {

class CreationWatch {
 public:
  CreationWatch();
  ~CreationWatch();
  CreationWatch(const CreationWatch&) = delete;
  CreationWatch& operator=(const CreationWatch&) = delete;

  // Every path given to CreateFileA to create or open-or-create a file while the watch was
  // there, with whether the security attributes of the (last) call let "Everyone" write it.
  std::map<std::string, bool> Created() const;
};

}  // namespace file_access
