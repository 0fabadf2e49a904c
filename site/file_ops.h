#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <system_error>

// The file operations the launcher relies on. Paths are UTF-8 text. Callers usually ignore the
// answers; they are there for tests and for callers that care.
namespace site {

// Creates exactly one folder level. An existing folder, a missing parent or any other failure
// leaves things as they are. True when the folder exists afterwards.
bool create_folder(std::string_view path);

// True if any entry of that exact name exists (a folder or a dangling link counts too).
bool exists(std::string_view path);

// Replaces the file with exactly `bytes`: written to a temporary file beside it and renamed over
// it, so that the file is never seen half-written. A symbolic link is written through: the file it
// leads to is replaced (the temporary file lies beside that one) and the link stays. An empty
// path, a missing folder, a folder of that name or any write error writes nothing and answers
// false; `error`, when given, then says why.
bool write_whole_file(std::string_view path, std::string_view bytes);
bool write_whole_file(std::string_view path, std::string_view bytes, std::error_code& error);

// The bytes of a regular file, or nothing when it is missing, is not a regular file (a folder, a
// pipe) or cannot be read; `error`, when given, then says why.
std::optional<std::string> read_whole_file(std::string_view path);
std::optional<std::string> read_whole_file(std::string_view path, std::error_code& error);

}  // namespace site
