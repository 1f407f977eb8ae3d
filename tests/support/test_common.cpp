#include "tests/support/test_common.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

void EnsureApplication() {
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "RavlenCtrl";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

ScratchDirectory::ScratchDirectory() {
    char tmpl[] = "/tmp/ravlen-test-XXXXXX";
    char* dir = mkdtemp(tmpl);
    m_path = dir ? dir : "/tmp";
    m_previous = std::filesystem::current_path().string();
    std::filesystem::current_path(m_path);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ec;
    std::filesystem::current_path(m_previous, ec);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::vector<std::string> ReadLogMessages(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t end = all.find("\r\n", pos);
        if (end == std::string::npos)
            end = all.size();
        std::string line = all.substr(pos, end - pos);
        out.push_back(line.size() >= 18 ? line.substr(18) : line);
        pos = end + 2;
    }
    return out;
}

