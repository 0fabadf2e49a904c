// The program's first run, seen from a copy of this test program placed in a fresh folder whose
// path holds Chinese characters and a space: the window's preparation uses the folder of the
// running executable, so the copy reports what its window shows and the test checks it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QLineEdit>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "child_process.h"
#include "launcher/main_window.h"
#include "site/defaults.h"
#include "test_support.h"

namespace {

using namespace test_support;
namespace fs = std::filesystem;

constexpr const char* kReportVariable = "FIRST_RUN_REPORT";

// Runs inside the copy only: writes the two boxes' texts, one per line.
TEST(FirstRunProbe, ReportsTheBoxes) {
    const char* report = std::getenv(kReportVariable);
    if (report == nullptr) GTEST_SKIP() << "runs only inside a copied test program";
    MainWindow window;
    std::ofstream(report, std::ios::binary) << window.base_path().toStdString() << '\n'
                                            << window.port_text().toStdString() << '\n';
}

struct Report {
    std::string path_box;
    std::string port_box;
    std::string output;  // what the copy printed
};

// Copies this program into `folder`, runs its probe there and answers what it reported.
std::optional<Report> run_copy_in(const TempFolder& folder) {
    const fs::path copy = folder.path() / "launcher_tests";
    fs::copy_file("/proc/self/exe", copy);
    const fs::path report = folder.path() / "report.txt";
    const fs::path output = folder.path() / "output.txt";
    const std::string variable = std::string(kReportVariable) + "=" + report.string();
    Process copy_run({copy.string(), "--gtest_filter=FirstRunProbe.*"},
                     {variable, "QT_QPA_PLATFORM=offscreen"}, output.string());
    const std::optional<int> status = copy_run.wait_for_exit(std::chrono::seconds(60));
    fs::remove(copy);
    if (!status || !WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return std::nullopt;

    std::ifstream in(report, std::ios::binary);
    Report result;
    std::getline(in, result.path_box);
    std::getline(in, result.port_box);
    fs::remove(report);
    result.output = read_file(output);
    fs::remove(output);
    return result;
}

TEST(FirstRun, EmptyFolderGetsARandomPortAndBothDefaultFiles) {
    TempFolder folder;
    const std::optional<Report> report = run_copy_in(folder);
    ASSERT_TRUE(report);

    EXPECT_EQ(report->path_box, folder.text());
    const int port = std::stoi(report->port_box);
    EXPECT_EQ(report->port_box, std::to_string(port));  // plain decimal, no sign or zeros
    EXPECT_GE(port, 9999);
    EXPECT_LE(port, 42766);
    EXPECT_EQ(read_file(folder.web() / "favicon.ico"), site::default_icon());
    EXPECT_EQ(read_file(folder.web() / "index.html"), site::default_index_page());
    EXPECT_FALSE(fs::exists(folder.web() / "Config.web"));
    EXPECT_FALSE(fs::exists(folder.web() / "404.html"));
}

// The window cannot say that the default files could not be written; standard error does.
TEST(FirstRun, DefaultFilesThatCannotBeWrittenAreToldOnStandardError) {
    TempFolder folder;
    write_file(folder.web(), "a file where the site folder belongs");
    const std::optional<Report> report = run_copy_in(folder);
    ASSERT_TRUE(report);
    for (const char* name : {"favicon.ico", "index.html"}) {
        EXPECT_NE(report->output.find("launcher_tests: cannot write " +
                                      (folder.web() / name).string() + ": Not a directory\n"),
                  std::string::npos)
            << report->output;
    }
}

TEST(FirstRun, ShowsTheRememberedPortTextUnchanged) {
    const char* const remembered[] = {"8080", "abc123456", "-5", "655350"};
    for (const char* text : remembered) {
        SCOPED_TRACE(text);
        TempFolder folder;
        fs::create_directory(folder.web());
        const std::string config = "[Config]\r\nPort=" + std::string(text) + "\r\n";
        write_file(folder.web() / "Config.web", config);

        const std::optional<Report> report = run_copy_in(folder);
        ASSERT_TRUE(report);
        EXPECT_EQ(report->port_box, text);
        EXPECT_EQ(read_file(folder.web() / "Config.web"), config);  // read, never written
    }
}

TEST(FirstRun, LeavesExistingStartPageAndIconAlone) {
    TempFolder folder;
    fs::create_directories(folder.web() / "favicon.ico");  // a folder of that name counts too
    write_file(folder.web() / "index.html", "");
    ASSERT_TRUE(run_copy_in(folder));
    EXPECT_TRUE(fs::is_directory(folder.web() / "favicon.ico"));
    EXPECT_EQ(read_file(folder.web() / "index.html"), "");
}

}  // namespace
