// Runs the benchmarks, then prints every figure against its target. The exit status is
// non-zero only when a rule that must hold exactly was broken (the transfers per tick):
// timings vary from machine to machine and are reported, not enforced.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/bench_dialog.h"
#include "bench/figures.h"

int main(int argc, char** argv) {
    EnsureApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench::PrintTable();
    if (const char* path = std::getenv("RAVLEN_BENCH_FIGURES"))
        bench::AppendRows(path);
    return bench::ExactRuleBroken() ? 1 : 0;
}
