#include "BenchFigures.h"

#include <algorithm>
#include <cstdio>

namespace bench
{

double microsecondsBetween(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::micro>(end - start).count();
}

Spread spreadOf(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return { samples[samples.size() / 2], samples[samples.size() * 99 / 100] };
}

void printRow(const std::string& benchmark, const std::string& measured, const std::string& reference,
              const std::string& target, bool met)
{
    std::printf("| %-40s | %-18s | %-30s | %-28s | %-4s |\n", benchmark.c_str(), measured.c_str(),
                reference.c_str(), target.c_str(), met ? "yes" : "NO");
    std::fflush(stdout);
}

std::string figure(double value, int decimals, const std::string& unit)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f %s", decimals, value, unit.c_str());
    return text;
}

} // namespace bench
