// The figures a benchmark run produces, each with its target, for the closing table.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Figure {
    std::string name;
    double value = 0;
    std::string unit;
    // "at most" targets: the limit in the figure's unit; 0 when the figure is informational.
    double limit = 0;
    // Text of the target as the table shows it.
    std::string target;
    // Rules that must hold exactly (the transfer count) fail the run when broken.
    bool exact = false;
    bool met = true;
};

// Replaces a figure of the same name: a benchmark function runs several times while the
// library sizes its loop, and the last run is the measured one.
void Publish(const Figure& figure);
// A figure against an "at most" limit.
void PublishAtMost(const std::string& name, double value, const std::string& unit, double limit,
                   const std::string& target);
void PublishInfo(const std::string& name, double value, const std::string& unit, const std::string& note);
void PublishExact(const std::string& name, double value, const std::string& unit, bool met,
                  const std::string& target);

const std::vector<Figure>& Figures();
bool ExactRuleBroken();

// The table on stdout and, when the path is not empty, appended as tab-separated rows:
// name, value, unit, target, ratio, verdict.
void PrintTable();
void AppendRows(const std::string& path);

}  // namespace bench
