#pragma once

#include <string>

// Catches what this process writes to standard error (descriptor 2) while it lives, for tests of
// the lines a program prints for its user. Not for use from two threads at once.
class CapturedStderr {
  public:
    CapturedStderr();
    ~CapturedStderr();
    CapturedStderr(const CapturedStderr&) = delete;
    CapturedStderr& operator=(const CapturedStderr&) = delete;

    // Everything written so far.
    std::string text() const;

  private:
    int saved_ = -1;
    int file_ = -1;
};
