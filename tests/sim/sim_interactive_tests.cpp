// Interactive use: the board set from the environment at load, the control
// socket driven by ravlen-simctl, and the launcher's environment.
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/sim/sim_fixture.h"

namespace {

struct Result {
    int exitCode = -1;
    std::string output;
};

Result RunCommand(const std::string& command) {
    Result r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return r;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p))
        r.output.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

template <typename F>
F Resolve(void* lib, const char* name) {
    void* p = dlsym(lib, name);
    EXPECT_NE(p, nullptr) << name;
    return reinterpret_cast<F>(p);
}

TEST(SimInteractive, EnvironmentSetsTheBoardAndTheSocketDrivesIt) {
    std::string base = "/tmp/ravlen-sim-test-" + std::to_string(getpid());
    std::string socketPath = base + ".sock";
    std::string tracePath = base + ".trace";
    setenv("RAVLEN_SIM_SOCKET", socketPath.c_str(), 1);
    setenv("RAVLEN_SIM_TRACE", tracePath.c_str(), 1);
    setenv("RAVLEN_SIM_SERIAL", "00009999,00123456", 1);
    setenv("RAVLEN_SIM_DESCRIPTION", "Telvo USB Controller", 1);
    setenv("RAVLEN_SIM_MODEL", "1", 1);
    setenv("RAVLEN_SIM_INTERLOCK", "open", 1);

    // A second copy of the library, which reads the environment as it loads.
    void* lib = dlopen(RAVLEN_SIM_LIB_NO_EE_READ, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto listDevices = Resolve<FT_STATUS (*)(PVOID, PVOID, DWORD)>(lib, "FT_ListDevices");
    auto highLines = Resolve<unsigned char (*)()>(lib, "ravlen_sim_high_lines");

    struct stat st {};
    ASSERT_EQ(lstat(socketPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    DWORD count = 0;
    ASSERT_EQ(listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 4u);
    char text[64] = {};
    ASSERT_EQ(listDevices(reinterpret_cast<PVOID>(2), text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
              FT_OK);
    EXPECT_STREQ(text, "00123456A");
    ASSERT_EQ(listDevices(reinterpret_cast<PVOID>(1), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
              FT_OK);
    EXPECT_STREQ(text, "Telvo USB Controller B");
    EXPECT_EQ(highLines(), 0x02);  // model 1, interlock open

    std::string ctl = std::string(RAVLEN_SIMCTL) + " --socket " + socketPath + " ";
    struct Step {
        const char* command;
        int exitCode;
        const char* outputHas;
    };
    const Step steps[] = {
        {"interlock close", 0, "ok"},
        {"status", 0, "serial 00009999, plugged, model code 1, interlock closed"},
        {"fail FT_Bogus", 1, "error"},
        {"fail FT_Write 2 4", 0, "ok"},
        {"frobnicate", 1, "error"},
        {"unplug 1", 0, "ok"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        Result r = RunCommand(ctl + s.command);
        EXPECT_EQ(r.exitCode, s.exitCode) << r.output;
        EXPECT_NE(r.output.find(s.outputHas), std::string::npos) << r.output;
    }
    EXPECT_EQ(highLines(), 0x03);
    ASSERT_EQ(listDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 2u);

    std::ifstream trace(tracePath);
    std::stringstream lines;
    lines << trace.rdbuf();
    EXPECT_NE(lines.str().find("FT_ListDevices"), std::string::npos);
    std::remove(tracePath.c_str());
}

TEST(SimInteractive, SimctlRefusesAMissingSocket) {
    Result r = RunCommand(std::string(RAVLEN_SIMCTL) + " --socket /tmp/ravlen-sim-none-" +
                          std::to_string(getpid()) + " status");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("no simulator socket"), std::string::npos) << r.output;
}

TEST(SimInteractive, LauncherSetsTheEnvironmentAndRunsTheProgram) {
    std::string runtime = "/tmp/ravlen-sim-runtime-" + std::to_string(getpid());
    ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    unsetenv("RAVLEN_SIM_SOCKET");
    unsetenv("RAVLEN_SIM_LATENCY_MS");
    Result r =
        RunCommand(std::string(RAVLEN_SIM_LAUNCHER) + " --model 1 --interlock open --program /usr/bin/env");
    rmdir(runtime.c_str());
    EXPECT_EQ(r.exitCode, 0) << r.output;
    const std::string expected[] = {
        "LD_LIBRARY_PATH=" + std::string(RAVLEN_SIM_LIBDIR_PATH),
        "RAVLEN_SIM_SOCKET=" + runtime + "/ravlen-sim.sock",
        "RAVLEN_SIM_LATENCY_MS=4",
        "RAVLEN_SIM_MODEL=1",
        "RAVLEN_SIM_INTERLOCK=open",
    };
    for (const std::string& line : expected)
        EXPECT_NE(r.output.find("\n" + line), std::string::npos) << line;
}

}  // namespace
