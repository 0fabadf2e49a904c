#pragma once

#include <optional>
#include <string>
#include <string_view>

// The file operations the launcher relies on. Paths are UTF-8 text. Callers usually ignore the
// answers; they are there for tests and for callers that care.
namespace site {

// Creates exactly one folder level. An existing folder, a missing parent or any other failure
// leaves things as they are. True when the folder exists afterwards.
bool create_folder(std::string_view path);

// True if any entry of that exact name exists (a folder or a dangling link counts too).
bool exists(std::string_view path);

// Replaces the file with exactly `bytes`: written to a temporary file beside it and renamed over
// it, so that the file is never seen half-written. An empty path, a missing folder, a folder of
// that name or any write error writes nothing and answers false.
bool write_whole_file(std::string_view path, std::string_view bytes);

// The bytes of a regular file, or nothing when it is missing, is not a regular file (a folder, a
// pipe) or cannot be read.
std::optional<std::string> read_whole_file(std::string_view path);

}  // namespace site
