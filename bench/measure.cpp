#include "measure.h"

#include <cstdio>
#include <cstdlib>

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double RunsPerSecond(const std::function<void()>& body, int count) {
    const double start = Now();
    for (int i = 0; i < count; ++i) body();
    return count / (Now() - start);
}

int RunsFor(const std::function<void()>& body, double seconds, int minimum) {
    const double rate = RunsPerSecond(body, minimum);
    return std::max(minimum, static_cast<int>(rate * seconds));
}

RatePair CompareRates(const std::function<void()>& host, const std::function<void()>& floor, int rounds,
                      double secondsPerRound) {
    const int hostRuns = RunsFor(host, secondsPerRound, 10);
    const int floorRuns = RunsFor(floor, secondsPerRound, 10);
    std::vector<double> hostRates;
    std::vector<double> floorRates;
    for (int round = 0; round < rounds; ++round) {
        floorRates.push_back(RunsPerSecond(floor, floorRuns));
        hostRates.push_back(RunsPerSecond(host, hostRuns));
    }
    return {Median(hostRates), Median(floorRates)};
}

void PrintFigure(const std::string& item, const std::string& figure, const std::string& unit, double host,
                 double floor, double ratio, nlohmann::json extra) {
    extra["item"] = item;
    extra["figure"] = figure;
    extra["unit"] = unit;
    extra["host"] = host;
    extra["floor"] = floor;
    extra["ratio"] = ratio;
    std::printf("%s\n", extra.dump().c_str());
    std::fflush(stdout);
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s\n", what.c_str());
    std::exit(2);
}
