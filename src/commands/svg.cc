#include "commands/svg.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/text.h"

namespace census {
namespace {

constexpr int kLabelWidth = 200;
constexpr int kPlotWidth = 340;
constexpr int kValueWidth = 90;
constexpr int kBarHeight = 16;
constexpr int kBarGap = 8;
constexpr int kTop = 10;
constexpr int kScaleHeight = 28;
constexpr int kLegendHeight = 26;
constexpr int kTicks = 5;

// The smallest of 1, 2 and 5 times a power of ten at or above value.
std::int64_t roundUp(std::int64_t value) {
  std::int64_t power = 1;
  while (true) {
    for (const std::int64_t step : {1, 2, 5}) {
      if (step * power >= value) return step * power;
    }
    power *= 10;
  }
}

std::string coordinate(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string scaleText(std::int64_t value) {
  constexpr std::array<std::pair<std::int64_t, std::string_view>, 2> kUnits = {
      {{1000000, " M"}, {1000, " k"}}};
  for (const auto& [size, unit] : kUnits) {
    if (value >= size && value % size == 0) return withThousands(value / size) + std::string(unit);
  }
  return withThousands(value);
}

}  // namespace

std::string withThousands(std::int64_t number) {
  const bool negative = number < 0;
  std::string digits = std::to_string(negative ? static_cast<std::uint64_t>(-(number + 1)) + 1
                                               : static_cast<std::uint64_t>(number));
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return (negative ? "-" : "") + digits;
}

std::string drawBarChart(const BarChart& chart) {
  std::int64_t longest = 1;
  for (const Bar& bar : chart.bars) {
    std::int64_t length = 0;
    for (const BarSegment& segment : bar.segments)
      length += std::max<std::int64_t>(segment.value, 0);
    longest = std::max({longest, length, bar.marker.value_or(0)});
  }
  const std::int64_t scale_end = roundUp(longest);
  const auto x_of = [&](std::int64_t value) {
    return kLabelWidth + static_cast<double>(std::max<std::int64_t>(value, 0)) * kPlotWidth /
                             static_cast<double>(scale_end);
  };
  const int plot_height = static_cast<int>(chart.bars.size()) * (kBarHeight + kBarGap);
  const int width = kLabelWidth + kPlotWidth + kValueWidth;
  const int height = kTop + plot_height + kScaleHeight + kLegendHeight;
  const std::string id = escapeMarkup(chart.id);

  std::string svg = "<svg class=\"chart\" role=\"img\" viewBox=\"0 0 " + std::to_string(width) +
                    " " + std::to_string(height) + "\" width=\"" + std::to_string(width) +
                    "\" height=\"" + std::to_string(height) +
                    "\" xmlns=\"http://www.w3.org/2000/svg\">\n";
  // The first <title> and <desc> are the chart's accessible name and description.
  svg += "<title>" + escapeMarkup(chart.title) + "</title>\n";
  svg += "<desc>" + escapeMarkup(chart.description) + "</desc>\n";
  // Hatching, so that the second segment stays apart from the first in grey.
  svg += "<defs><pattern id=\"" + id +
         "-hatch\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
         "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" class=\"hatch-ground\"/>"
         "<line x1=\"0\" y1=\"0\" x2=\"0\" y2=\"6\" class=\"hatch-line\"/></pattern></defs>\n";

  const int axis_y = kTop + plot_height;
  for (int tick = 0; tick <= kTicks; ++tick) {
    const std::int64_t value = scale_end * tick / kTicks;
    const std::string x = coordinate(x_of(value));
    svg += "<line class=\"grid-line\" x1=\"" + x + "\" y1=\"" + std::to_string(kTop - 4) +
           "\" x2=\"" + x + "\" y2=\"" + std::to_string(axis_y) + "\"/>";
    svg += "<text class=\"tick\" x=\"" + x + "\" y=\"" + std::to_string(axis_y + 16) +
           "\" text-anchor=\"middle\">" + scaleText(value) + "</text>\n";
  }
  int y = kTop;
  for (const Bar& bar : chart.bars) {
    const std::string text_y = std::to_string(y + kBarHeight - 4);
    svg += "<text class=\"bar-label\" x=\"" + std::to_string(kLabelWidth - 6) + "\" y=\"" + text_y +
           "\" text-anchor=\"end\">" + escapeMarkup(bar.label) + "</text>";
    std::int64_t start = 0;
    for (const BarSegment& segment : bar.segments) {
      const std::int64_t value = std::max<std::int64_t>(segment.value, 0);
      const std::string fill =
          segment.css_class == "hatched" ? " fill=\"url(#" + id + "-hatch)\"" : "";
      svg += "<rect class=\"" + std::string(segment.css_class) + "\"" + fill + " x=\"" +
             coordinate(x_of(start)) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
             coordinate(x_of(start + value) - x_of(start)) + "\" height=\"" +
             std::to_string(kBarHeight) + "\"/>";
      start += value;
    }
    if (bar.marker) {
      const std::string x = coordinate(x_of(*bar.marker));
      svg += "<line class=\"marker\" x1=\"" + x + "\" y1=\"" + std::to_string(y - 3) + "\" x2=\"" +
             x + "\" y2=\"" + std::to_string(y + kBarHeight + 3) + "\"/>";
    }
    svg += "<text class=\"bar-value\" x=\"" + coordinate(x_of(start) + 6) + "\" y=\"" + text_y +
           "\">" + escapeMarkup(bar.value_text) + "</text>\n";
    y += kBarHeight + kBarGap;
  }
  svg += "<line class=\"axis\" x1=\"" + std::to_string(kLabelWidth) + "\" y1=\"" +
         std::to_string(axis_y) + "\" x2=\"" + std::to_string(kLabelWidth + kPlotWidth) +
         "\" y2=\"" + std::to_string(axis_y) + "\"/>\n";
  int x = kLabelWidth;
  const std::string legend_y = std::to_string(axis_y + kScaleHeight);
  for (const LegendEntry& entry : chart.legend) {
    if (entry.is_marker) {
      svg += "<line class=\"marker\" x1=\"" + std::to_string(x + 6) + "\" y1=\"" + legend_y +
             "\" x2=\"" + std::to_string(x + 6) + "\" y2=\"" +
             std::to_string(axis_y + kScaleHeight + 14) + "\"/>";
    } else {
      const std::string fill =
          entry.css_class == "hatched" ? " fill=\"url(#" + id + "-hatch)\"" : "";
      svg += "<rect class=\"" + std::string(entry.css_class) + "\"" + fill + " x=\"" +
             std::to_string(x) + "\" y=\"" + legend_y + "\" width=\"12\" height=\"12\"/>";
    }
    svg += "<text class=\"legend\" x=\"" + std::to_string(x + 18) + "\" y=\"" +
           std::to_string(axis_y + kScaleHeight + 11) + "\">" + escapeMarkup(entry.text) +
           "</text>";
    x += 30 + 7 * static_cast<int>(entry.text.size());
  }
  svg += "\n</svg>";
  return svg;
}

}  // namespace census
