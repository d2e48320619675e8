// Charts drawn by hand as inline SVG for the report: a horizontal bar chart
// with a scale, labelled bars, a legend, and the accessible title and
// description a screen reader announces. Colours and patterns come from the
// page's stylesheet through the classes named here, so that one place
// decides how the charts look on screen and in print.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace census {

// A whole number with a comma between thousands: 3206531 -> "3,206,531".
std::string withThousands(std::int64_t number);

struct BarSegment {
  std::int64_t value = 0;  // a negative value draws nothing
  std::string_view css_class;
};

struct Bar {
  std::string label;
  std::vector<BarSegment> segments;    // drawn one after another from the axis
  std::optional<std::int64_t> marker;  // a tick across the bar at this value
  std::string value_text;              // written after the bar
};

struct LegendEntry {
  std::string_view css_class;
  std::string text;
  bool is_marker = false;  // drawn as the marker's tick, not a swatch
};

struct BarChart {
  std::string id;  // unique in the page; prefixes the chart's own ids
  std::string title;
  std::string description;
  std::vector<Bar> bars;
  std::vector<LegendEntry> legend;
};

// The <svg> element of the chart, role="img", with <title> and <desc>. The
// scale runs from 0 to a round number at or above the longest bar, with
// five ticks.
std::string drawBarChart(const BarChart& chart);

}  // namespace census
