// SPDX-License-Identifier: GPL-2.0-or-later
// Loading devices.lst and looking devices up, beside a raw read of the same
// bytes. Run: build/bench/database_bench (results on standard error).
// CORVANE_BENCH_FILE=path adds the load and the raw read of that file.
#include "hardware.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

namespace {

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

// A devices.lst of `lines` standard lines, the size of real ones; made once.
const std::string& databaseFile(int lines)
{
    static std::map<int, std::string> made;
    auto found = made.find(lines);
    if (found != made.end())
        return found->second;
    const std::string path = "/tmp/corvane-bench-" + std::to_string(lines) + ".lst";
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < lines; ++i) {
        out << "\"0x" << hex4(i / 16) << "\",\"0x" << hex4(i) << "\",\"Vendor number " << i / 16
            << " Corporation\",\"pci.ids 2023.04.10\",\"Model " << i
            << " PCI Express controller with a name of a usual length\"\n";
    }
    return made[lines] = path;
}

void load(benchmark::State& state)
{
    const std::string& path = databaseFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        HardwareDatabase database(path);
        benchmark::DoNotOptimize(&database);
    }
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
}

// The bytes read in chunks into a string, as a plain program would.
void readRaw(benchmark::State& state, const std::string& path)
{
    std::string bytes;
    for (auto _ : state) {
        bytes.clear();
        std::FILE* file = std::fopen(path.c_str(), "rb");
        char chunk[65536];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            bytes.append(chunk, got);
        std::fclose(file);
        benchmark::DoNotOptimize(bytes.data());
    }
}

void rawRead(benchmark::State& state)
{
    readRaw(state, databaseFile(static_cast<int>(state.range(0))));
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
}

// What start-up pays: the load, then the first lookup, which searches the
// file for the vendor's first line and the device after it.
void loadThenFind(benchmark::State& state)
{
    const std::string& path = databaseFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        HardwareDatabase database(path);
        benchmark::DoNotOptimize(database.find("0x0001", "0x0010"));
    }
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(state.range(0)) * state.iterations(), benchmark::Counter::kIsRate);
}

void findLast(benchmark::State& state)
{
    const int lines = static_cast<int>(state.range(0));
    HardwareDatabase database(databaseFile(lines));
    const std::string vendor = "0x" + hex4((lines - 1) / 16), device = "0x" + hex4(lines - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(database.find(vendor, device));
}

void findAbsent(benchmark::State& state)
{
    HardwareDatabase database(databaseFile(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(database.find("0xFFFF", "0xFFFF"));
}

BENCHMARK(load)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(rawRead)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(loadThenFind)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(findLast)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);
BENCHMARK(findAbsent)->Arg(20000)->Arg(200000)->Unit(benchmark::kMicrosecond);

}

int main(int argc, char** argv)
{
    // Every load writes a line feed to standard output; the results go to
    // standard error instead.
    benchmark::Initialize(&argc, argv);
    if (const char* file = std::getenv("CORVANE_BENCH_FILE")) {
        const std::string path = file;
        benchmark::RegisterBenchmark("loadFile", [path](benchmark::State& state) {
            for (auto _ : state) {
                HardwareDatabase database(path);
                benchmark::DoNotOptimize(&database);
            }
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("loadFileThenFind", [path](benchmark::State& state) {
            for (auto _ : state) {
                HardwareDatabase database(path);
                benchmark::DoNotOptimize(database.find("0x8086", "0x10D3"));
            }
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("rawReadFile", [path](benchmark::State& state) { readRaw(state, path); })
            ->Unit(benchmark::kMillisecond);
    }
    std::fflush(stdout);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
