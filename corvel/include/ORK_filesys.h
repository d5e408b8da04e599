// ORK_filesys: file-system helpers.
#pragma once

#include "corvel_export.h"

#include <cstdint>
#include <string>

namespace corvel {

/// True when FileName names an existing regular file.
CORVEL_EXPORT bool FileExists(const std::string& FileName);
/// Deletes a file; true on success, false otherwise (never raises).
CORVEL_EXPORT bool DeleteFile(const std::string& FileName);
/// Size of a regular file in bytes, or -1 when it is not one.
CORVEL_EXPORT int64_t FileSizeOf(const std::string& FileName);

}  // namespace corvel
