#pragma once

#include <string>
#include <vector>

#include "server/unique_fd.h"

// Opens `segments` (names from the served folder down, none of them "..", "." or containing '/')
// beneath the folder `root_fd` for reading. Symbolic links are followed only while they stay
// beneath the folder. Answers the descriptor (blocking, close-on-exec), or an empty one with errno
// set.
UniqueFd OpenBeneath(int root_fd, const std::vector<std::string>& segments);

// The same without following any symbolic link; what OpenBeneath falls back to on kernels that
// cannot confine a lookup to a folder.
UniqueFd OpenWithoutLinks(int root_fd, const std::vector<std::string>& segments);
