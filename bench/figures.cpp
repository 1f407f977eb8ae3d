#include "bench/figures.h"

#include <cstdio>
#include <fstream>

namespace bench {

namespace {

std::vector<Figure>& Store() {
    static std::vector<Figure> figures;
    return figures;
}

std::string Number(double v) {
    char buf[64];
    if (v == static_cast<double>(static_cast<long long>(v)) && v < 1e6 && v > -1e6)
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
    else if (v != 0 && (v < 0.01 && v > -0.01))
        std::snprintf(buf, sizeof buf, "%.4f", v);
    else if (v < 100 && v > -100)
        std::snprintf(buf, sizeof buf, "%.3f", v);
    else
        std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

std::string Ratio(const Figure& f) {
    if (f.limit <= 0)
        return "-";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", f.value / f.limit);
    return buf;
}

std::string Verdict(const Figure& f) {
    if (f.exact)
        return f.met ? "pass" : "FAIL";
    if (f.limit <= 0)
        return "info";
    return f.met ? "pass" : "miss";
}

}  // namespace

void Publish(const Figure& figure) {
    for (Figure& f : Store()) {
        if (f.name == figure.name) {
            f = figure;
            return;
        }
    }
    Store().push_back(figure);
}

void PublishAtMost(const std::string& name, double value, const std::string& unit, double limit,
                   const std::string& target) {
    Figure f;
    f.name = name;
    f.value = value;
    f.unit = unit;
    f.limit = limit;
    f.target = target;
    f.met = value <= limit;
    Publish(f);
}

void PublishInfo(const std::string& name, double value, const std::string& unit, const std::string& note) {
    Figure f;
    f.name = name;
    f.value = value;
    f.unit = unit;
    f.target = note;
    Publish(f);
}

void PublishExact(const std::string& name, double value, const std::string& unit, bool met,
                  const std::string& target) {
    Figure f;
    f.name = name;
    f.value = value;
    f.unit = unit;
    f.target = target;
    f.exact = true;
    f.met = met;
    Publish(f);
}

const std::vector<Figure>& Figures() { return Store(); }

bool ExactRuleBroken() {
    for (const Figure& f : Store())
        if (f.exact && !f.met)
            return true;
    return false;
}

void PrintTable() {
    std::printf("\n%-52s %12s %-6s %-34s %7s  %s\n", "figure", "value", "unit", "target", "ratio", "");
    for (const Figure& f : Store())
        std::printf("%-52s %12s %-6s %-34s %7s  %s\n", f.name.c_str(), Number(f.value).c_str(),
                    f.unit.c_str(), f.target.c_str(), Ratio(f).c_str(), Verdict(f).c_str());
    std::fflush(stdout);
}

void AppendRows(const std::string& path) {
    if (path.empty())
        return;
    std::ofstream out(path, std::ios::app);
    for (const Figure& f : Store())
        out << f.name << '\t' << Number(f.value) << '\t' << f.unit << '\t' << f.target << '\t' << Ratio(f)
            << '\t' << Verdict(f) << '\n';
}

}  // namespace bench
