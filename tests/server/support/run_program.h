#pragma once

#include <string>
#include <vector>

// Runs `argv` (argv[0] an absolute path) with its output discarded and answers whether it exited
// with status 0 within half a minute; it is killed otherwise.
bool RunProgram(const std::vector<std::string>& argv);
