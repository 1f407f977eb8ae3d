// Helpers every test suite shares, with or without the simulated board.
#pragma once

#include <string>
#include <vector>

// Makes the one QApplication of a test process (offscreen).
void EnsureApplication();

// Runs the test in a new temporary directory and removes it afterwards.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
};

// The messages of the activity log's records (the text after "timestamp - "), in order;
// the start record included.
std::vector<std::string> ReadLogMessages(const std::string& path = "RavlenLog.txt");

