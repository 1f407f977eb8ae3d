// One copy of the program per machine, whoever starts it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "tests/support/test_common.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

pid_t StartProgram(const std::string& dir, bool asOtherUser) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("LD_LIBRARY_PATH", NO_DRIVER_DIR, 1);
        if (asOtherUser && getuid() == 0) {
            chown(dir.c_str(), 65534, 65534);
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(126);
        }
        execl(RAVLEN_EXE, RAVLEN_EXE, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

bool WaitForFile(const std::string& path, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (fs::exists(path) && fs::file_size(path) > 0)
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// Exit status, or -1 when the process is still running after the limit.
int WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(20ms);
    }
    return -1;
}

void Stop(pid_t pid) {
    kill(pid, SIGKILL);
    WaitForExit(pid, 5000ms);
}

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(SingleInstance, SecondCopyEndsSilentlyAndALaterCopyStarts) {
    ScratchDirectory base;
    for (const char* d : {"first", "second", "third"}) {
        fs::create_directory(d);
        fs::permissions(d, fs::perms::all);
    }
    const std::string first = base.Path() + "/first";
    const std::string second = base.Path() + "/second";
    const std::string third = base.Path() + "/third";

    pid_t a = StartProgram(first, false);
    ASSERT_TRUE(WaitForFile(first + "/RavlenLog.txt", 20000ms)) << "the first copy did not start";
    const std::string firstLog = FileBytes(first + "/RavlenLog.txt");

    // Another user's copy counts as a second copy too.
    pid_t b = StartProgram(second, true);
    EXPECT_EQ(WaitForExit(b, 10000ms), 0) << "the second copy kept running";
    EXPECT_FALSE(fs::exists(second + "/RavlenLog.txt"));
    EXPECT_EQ(FileBytes(first + "/RavlenLog.txt"), firstLog);
    EXPECT_EQ(WaitForExit(a, 0ms), -1) << "the first copy was affected";

    Stop(a);
    pid_t c = StartProgram(third, false);
    EXPECT_TRUE(WaitForFile(third + "/RavlenLog.txt", 20000ms)) << "no new copy after the first ended";
    Stop(c);
}
