#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Seconds on the performance counter.
double Now();

double Median(std::vector<double> values);

// Runs `body` `count` times; the rate in runs per second.
double RunsPerSecond(const std::function<void()>& body, int count);

// How many runs of `body` fill about `seconds`, at least `minimum`.
int RunsFor(const std::function<void()>& body, double seconds, int minimum);

// Alternates rounds of the floor and the host so that drift on a busy machine
// hits both alike; the median rate of each, in runs per second.
struct RatePair {
    double host;
    double floor;
};
RatePair CompareRates(const std::function<void()>& host, const std::function<void()>& floor, int rounds,
                      double secondsPerRound);

// One line of the results: a figure of the host, the same figure of its floor,
// and their ratio as a cost (1 = as good as the floor, 2 = twice the cost).
void PrintFigure(const std::string& item, const std::string& figure, const std::string& unit, double host,
                 double floor, double ratio, nlohmann::json extra = nlohmann::json::object());

// A failed check of the bench's own assumptions: ends the run with exit code 2.
[[noreturn]] void Fail(const std::string& what);
