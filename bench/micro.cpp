// Microbenchmarks of the two number paths every conversion runs per vertex:
// the free-format reader (util::FreeFormat) and the fixed-layout writer
// (util::put_fixed), each beside bare std::from_chars / std::to_chars on the
// same values, so the cost of the converter's own rules (separators, quotes,
// "D" exponents, Fortran rounding and field layout) shows as the difference.
//
// Every benchmark walks a table of 4096 values (survey-like coordinates and
// elevations with three decimals, from a fixed seed) and reports items per
// second and "per_value" (the inverse rate, in seconds per value).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "util/fixed.h"
#include "util/freeformat.h"

namespace {

using velmorak::util::FreeFormat;

constexpr std::size_t kValues = 4096;

std::uint64_t splitmix(std::uint64_t& s) {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// A length in millimetres as text with three decimals.
std::string mm_text(std::int64_t mm) {
    std::string s = std::to_string(mm / 1000);
    const auto frac = mm % 1000;
    s.push_back('.');
    s.push_back(static_cast<char>('0' + frac / 100));
    s.push_back(static_cast<char>('0' + frac / 10 % 10));
    s.push_back(static_cast<char>('0' + frac % 10));
    return s;
}

struct Data {
    std::vector<std::string> vertex_lines;  // "    312345.678 6234567.890 23.456"
    std::vector<std::string> floats;        // "23.456"
    std::vector<std::string> ints;          // "1234"
    std::vector<double> coords;             // 312345.678
    std::vector<double> elevations;         // 23.456
};

const Data& data() {
    static const Data d = [] {
        Data r;
        std::uint64_t s = 0xBE7C4ULL;
        for (std::size_t i = 0; i < kValues; ++i) {
            const auto x = static_cast<std::int64_t>(300'000'000 + splitmix(s) % 50'000'000);
            const auto y = static_cast<std::int64_t>(6'200'000'000 + splitmix(s) % 50'000'000);
            const auto z = static_cast<std::int64_t>(2'000 + splitmix(s) % 118'000);
            r.vertex_lines.push_back("    " + mm_text(x) + " " + mm_text(y) + " " + mm_text(z));
            r.floats.push_back(mm_text(z));
            r.ints.push_back(std::to_string(splitmix(s) % 100'000));
            r.coords.push_back(static_cast<double>(x) / 1000.0);
            r.elevations.push_back(static_cast<double>(z) / 1000.0);
        }
        return r;
    }();
    return d;
}

void report(benchmark::State& state, std::size_t values_per_pass) {
    const auto values = static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(values_per_pass);
    state.SetItemsProcessed(values);
    // Shown as seconds per value with an SI prefix: "per_value=53.1ns".
    state.counters["per_value"] =
        benchmark::Counter(static_cast<double>(values), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ------------------------------------------------------------------ reading

bool is_blank(char c) { return c == ' ' || c == '\t'; }

void BM_FreeFormat_VertexLine_3Doubles(benchmark::State& state) {
    const auto& lines = data().vertex_lines;
    for (auto _ : state) {
        for (const std::string& line : lines) {
            FreeFormat ff(line);
            double x = 0, y = 0, z = 0;
            benchmark::DoNotOptimize(ff.read_all(x, y, z));
            benchmark::DoNotOptimize(x);
            benchmark::DoNotOptimize(y);
            benchmark::DoNotOptimize(z);
        }
    }
    report(state, 3 * lines.size());
}
BENCHMARK(BM_FreeFormat_VertexLine_3Doubles);

void BM_FromChars_VertexLine_3Doubles(benchmark::State& state) {
    const auto& lines = data().vertex_lines;
    for (auto _ : state) {
        for (const std::string& line : lines) {
            const char* p = line.data();
            const char* const end = p + line.size();
            double v[3];
            for (double& out : v) {
                while (p < end && is_blank(*p)) ++p;
                p = std::from_chars(p, end, out).ptr;
            }
            benchmark::DoNotOptimize(v);
        }
    }
    report(state, 3 * lines.size());
}
BENCHMARK(BM_FromChars_VertexLine_3Doubles);

void BM_FreeFormat_Float(benchmark::State& state) {
    const auto& tokens = data().floats;
    for (auto _ : state) {
        for (const std::string& t : tokens) {
            FreeFormat ff(t);
            float v = 0;
            benchmark::DoNotOptimize(ff.read(v));
            benchmark::DoNotOptimize(v);
        }
    }
    report(state, tokens.size());
}
BENCHMARK(BM_FreeFormat_Float);

void BM_FromChars_Float(benchmark::State& state) {
    const auto& tokens = data().floats;
    for (auto _ : state) {
        for (const std::string& t : tokens) {
            float v = 0;
            benchmark::DoNotOptimize(std::from_chars(t.data(), t.data() + t.size(), v).ptr);
            benchmark::DoNotOptimize(v);
        }
    }
    report(state, tokens.size());
}
BENCHMARK(BM_FromChars_Float);

void BM_FreeFormat_Int(benchmark::State& state) {
    const auto& tokens = data().ints;
    for (auto _ : state) {
        for (const std::string& t : tokens) {
            FreeFormat ff(t);
            std::int32_t v = 0;
            benchmark::DoNotOptimize(ff.read(v));
            benchmark::DoNotOptimize(v);
        }
    }
    report(state, tokens.size());
}
BENCHMARK(BM_FreeFormat_Int);

void BM_FromChars_Int(benchmark::State& state) {
    const auto& tokens = data().ints;
    for (auto _ : state) {
        for (const std::string& t : tokens) {
            std::int32_t v = 0;
            benchmark::DoNotOptimize(std::from_chars(t.data(), t.data() + t.size(), v).ptr);
            benchmark::DoNotOptimize(v);
        }
    }
    report(state, tokens.size());
}
BENCHMARK(BM_FromChars_Int);

// ------------------------------------------------------------------ writing

// put_fixed appends whole fields to a line buffer that keeps its capacity.
void put_fixed_values(benchmark::State& state, const std::vector<double>& values, int width, int decimals) {
    std::string out;
    out.reserve(values.size() * static_cast<std::size_t>(width));
    for (auto _ : state) {
        out.clear();
        for (double v : values) velmorak::util::put_fixed(out, v, width, decimals);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    report(state, values.size());
}

// The bare conversion: the digits only, no field, no rounding rule of our own.
void to_chars_values(benchmark::State& state, const std::vector<double>& values, int decimals) {
    std::vector<char> out(values.size() * 32);
    for (auto _ : state) {
        char* p = out.data();
        char* const end = out.data() + out.size();
        for (double v : values) p = std::to_chars(p, end, v, std::chars_format::fixed, decimals).ptr;
        benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
    report(state, values.size());
}

void BM_PutFixed_16_6_Coordinates(benchmark::State& state) { put_fixed_values(state, data().coords, 16, 6); }
BENCHMARK(BM_PutFixed_16_6_Coordinates);

void BM_ToChars_6_Coordinates(benchmark::State& state) { to_chars_values(state, data().coords, 6); }
BENCHMARK(BM_ToChars_6_Coordinates);

void BM_PutFixed_12_4_Elevations(benchmark::State& state) { put_fixed_values(state, data().elevations, 12, 4); }
BENCHMARK(BM_PutFixed_12_4_Elevations);

void BM_ToChars_4_Elevations(benchmark::State& state) { to_chars_values(state, data().elevations, 4); }
BENCHMARK(BM_ToChars_4_Elevations);

}  // namespace

BENCHMARK_MAIN();
