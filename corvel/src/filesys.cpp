#include "ORK_filesys.h"
#include <sys/stat.h>

#include <cstdio>

namespace corvel {

bool FileExists(const std::string& FileName) { return FileSizeOf(FileName) >= 0; }

bool DeleteFile(const std::string& FileName) { return std::remove(FileName.c_str()) == 0; }

int64_t FileSizeOf(const std::string& FileName) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

}  // namespace corvel
