#include "table.h"

#include <cstdarg>
#include <cstdio>

namespace bench {

const char* Holds(bool holds) { return holds ? "yes" : "NO"; }

std::string Text(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    (void)std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

void PrintRow(const std::string& figure, const std::string& measured, const std::string& limit,
              const std::string& ratio, const std::string& holds) {
    std::printf("%s | %s | %s | %s | %s\n", figure.c_str(), measured.c_str(), limit.c_str(), ratio.c_str(),
                holds.c_str());
    (void)std::fflush(stdout);
}

void PrintUnmeasuredRow(const std::string& figure, const std::string& why) {
    PrintRow(figure, "not measured: " + why, "-", "-", Holds(false));
}

void PrintComparisonRow(const std::string& figure, const Comparison& comparison, double scale, const char* unit,
                        std::optional<double> limit, const std::string& note) {
    PrintRow(figure, Text("%.4g / %.4g %s", comparison.secondsA * scale, comparison.secondsB * scale, unit) + note,
             limit ? Text("<= %.2f", *limit) : "-", Text("%.3f", comparison.ratio),
             limit ? Holds(comparison.ratio <= *limit) : "-");
}

void PrintBelowRow(const std::string& figure, double value, const char* unit, double limit) {
    PrintRow(figure, Text("%.4g %s", value, unit), Text("< %g %s", limit, unit), Text("%.3f", value / limit),
             Holds(value < limit));
}

void PrintExactRow(const std::string& figure, const std::string& measured, const std::string& expected) {
    PrintRow(figure, measured, expected, "-", Holds(measured == expected));
}

}  // namespace bench
