// What every benchmark reports: the minimum and the median of its runs.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct Figure {
    std::string name;
    std::string unit;
    std::vector<double> runs;
};

inline double Minimum(std::vector<double> values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One line a figure: name, minimum, median, unit.
inline void Print(const char* title, const std::vector<Figure>& figures) {
    std::printf("%s\n", title);
    std::printf("  %-52s %14s %14s\n", "figure", "min", "median");
    for (const Figure& f : figures) {
        std::printf("  %-52s %14.3f %14.3f  %s\n", f.name.c_str(), Minimum(f.runs), Median(f.runs), f.unit.c_str());
    }
    std::fflush(stdout);
}

}  // namespace bench
