// SPDX-License-Identifier: GPL-2.0-or-later
// Reading registry exports whose size lies in one key: many values in one
// key, and a key line of many levels. Both should grow linearly with the
// file. Run: build/bench/regexport_bench (results on standard error).
#include "regExport.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

const std::string deviceKey =
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_0010&DEV_8139&SUBSYS_00000000&REV_00\\3&1&0&00";

void readExport(benchmark::State& state, const std::string& file)
{
    for (auto _ : state) {
        RegExportReader reader(RegExportReader::Encoding::ansi);
        reader.read(file);
        reader.finish();
        benchmark::DoNotOptimize(reader.takeRegistry());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(file.size()) * state.iterations());
}

// One key of range(0) values.
void valuesInOneKey(benchmark::State& state)
{
    std::string file = "REGEDIT4\r\n\r\n" + deviceKey + "]\r\n";
    for (std::int64_t i = 0; i < state.range(0); ++i)
        file += "\"Value number " + std::to_string(i) + "\"=\"some text\"\r\n";
    readExport(state, file);
}

// A key line range(0) levels deeper than the device's instance: skipped past 512.
void deepKey(benchmark::State& state)
{
    std::string file = "REGEDIT4\r\n\r\n" + deviceKey;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        file += "\\a";
    readExport(state, file + "]\r\n\"Class\"=\"x\"\r\n");
}

}

BENCHMARK(valuesInOneKey)->Arg(10000)->Arg(40000)->Arg(160000)->Unit(benchmark::kMillisecond);
BENCHMARK(deepKey)->Arg(500)->Arg(300000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
