#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/live_reload/change_watcher.h"

class ReloadStreams;

// Live reload while it is on: watches the served folder and tells every open page what changed,
// "css" when every change of a batch is a stylesheet, "reload" otherwise. The program's own
// writes (the settings file, files written through its temporary names) are not changes.
class LiveReload {
  public:
    LiveReload(std::string root, ReloadStreams& streams,
               ChangeWatcher::Timing timing = ChangeWatcher::Timing{});

    // The event a batch of changed paths calls for: "css" or "reload".
    static std::string_view EventFor(const std::vector<std::string>& paths);

    // True for paths whose changes pages never hear about: Config.web and the temporary files
    // the program writes beside a file before renaming them over it.
    static bool IsOwnFile(const std::string& path);

  private:
    ChangeWatcher watcher_;
};
