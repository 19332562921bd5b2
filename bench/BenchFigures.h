// What every benchmark prints: one table row per figure, beside its reference
// and its target, in a form that bench/run.sh collects into one table.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace bench
{

using Clock = std::chrono::steady_clock;

double microsecondsBetween(Clock::time_point start, Clock::time_point end);

struct Spread
{
    double median = 0;
    double percentile99 = 0;
};

// Of a non-empty set of samples.
Spread spreadOf(std::vector<double> samples);

// "| benchmark | measured | reference | target | met? |", one line on standard output.
void printRow(const std::string& benchmark, const std::string& measured, const std::string& reference,
              const std::string& target, bool met);

// A number with the given decimals and unit, such as "12.3 us".
std::string figure(double value, int decimals, const std::string& unit);

} // namespace bench
