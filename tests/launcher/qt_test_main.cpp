#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "launcher/site_server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Set in the copy (and so in every program it starts).
constexpr const char* kInCopyVariable = "LAUNCHER_TESTS_IN_COPY";

// Creating the window prepares the site folder "web" beside the running executable, as the
// program does. So that the tests leave nothing beside this test program, they run in a second
// process from a link to it (or a copy) in a fresh temporary folder, removed afterwards. Answers
// that process's exit code.
int run_from_temporary_folder(char** argv) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    std::string folder = (fs::temp_directory_path() / "launcher-tests-XXXXXX").string();
    if (error || !mkdtemp(folder.data())) {
        std::perror("launcher_tests: no temporary folder to run in");
        return 1;
    }
    const fs::path copy = fs::path(folder) / self.filename();
    fs::create_hard_link(self, copy, error);
    if (error) fs::copy_file(self, copy, error);
    int status = 0;
    pid_t pid = -1;
    if (!error && setenv(kInCopyVariable, "1", 1) == 0 &&
        posix_spawn(&pid, copy.c_str(), nullptr, nullptr, argv, environ) == 0) {
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    } else {
        std::fprintf(stderr, "launcher_tests: cannot run from %s\n", folder.c_str());
        status = 1 << 8;
    }
    fs::remove_all(folder, error);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

}  // namespace

// Widget tests need one application object and the process-wide server object, as the program
// has them. Listing the tests needs neither (and may run without any display).
int main(int argc, char** argv) {
    std::vector<char*> arguments(argv, argv + argc + 1);  // before GoogleTest takes its flags out
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    if (std::getenv(kInCopyVariable) == nullptr) return run_from_temporary_folder(arguments.data());
    // The copy ends with the process that started it, so that a test run that is cut off leaves
    // nothing running.
    prctl(PR_SET_PDEATHSIG, SIGKILL);

    create_site_server();
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    release_site_server();
    return result;
}
