// Click logs: the forms a log's lines take and the box a click is given.
#include "qvm/click_log.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : line + ' ') {
    if (std::strchr(" \t,;", c)) {
      if (!field.empty()) fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  return fields;
}

// A decimal number of at most nine whole digits, in thousandths; -1 when the
// text is not one.
int64_t Thousandths(const std::string& text) {
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() || whole.size() > 9 || whole.find_first_not_of("0123456789") != std::string::npos ||
      fraction.find_first_not_of("0123456789") != std::string::npos) {
    return -1;
  }
  int64_t value = std::stoll(whole) * 1000;
  for (size_t i = 0, unit = 100; i < fraction.size() && unit > 0; ++i, unit /= 10) value += (fraction[i] - '0') * int64_t(unit);
  return value;
}

// Seconds, "ms" or "s" after them, or [H:]M:SS; -1 when it is none of these.
int64_t TimeMs(std::string text) {
  if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0) {
    const int64_t thousandths = Thousandths(text.substr(0, text.size() - 2));
    return thousandths < 0 ? -1 : thousandths / 1000;
  }
  if (text.size() > 1 && text.back() == 's') text.pop_back();
  int64_t ms = 0;
  size_t start = 0;
  for (size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1) {
    const int64_t part = Thousandths(text.substr(start, colon - start));
    if (part < 0 || part % 1000 != 0) return -1;
    ms = (ms + part / 1000) * 60;
  }
  const int64_t seconds = Thousandths(text.substr(start));
  if (seconds < 0 || (start > 0 && seconds >= 60000)) return -1;
  return ms * 1000 + seconds;
}

}  // namespace

bool IsRegionLine(const std::string& line) {
  const size_t colon = line.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string edges = line.substr(colon + 1);
  return std::count(edges.begin(), edges.end(), ',') == 3 && edges.find_first_not_of("0123456789,") == std::string::npos;
}

bool ParseLoggedClick(const std::string& line, const std::string& where, LoggedClick* click) {
  const std::vector<std::string> fields = Fields(line);
  if (fields.empty() || !std::isdigit(static_cast<unsigned char>(fields[0][0]))) return false;
  if (fields.size() < 3 || fields.size() > 4) {
    throw std::runtime_error(where + ": a click is a time, x and y, and perhaps the button");
  }
  click->where = where;
  click->at_ms = TimeMs(fields[0]);
  if (click->at_ms < 0) {
    throw std::runtime_error(where + ": the time is seconds (12.5), milliseconds (12500ms) or M:SS, not \"" +
                             fields[0] + "\"");
  }
  const int64_t x = Thousandths(fields[1]), y = Thousandths(fields[2]);
  if (x < 0 || y < 0) throw std::runtime_error(where + ": x and y are pixels, not \"" + fields[1] + "\" and \"" + fields[2] + "\"");
  click->x = int32_t(x / 1000);
  click->y = int32_t(y / 1000);
  return true;
}

ClickRegion BoxAround(const LoggedClick& click, int32_t box_w, int32_t box_h, int32_t width, int32_t height) {
  if (click.x >= width || click.y >= height) {
    throw std::runtime_error(click.where + ": the click at " + std::to_string(click.x) + "," + std::to_string(click.y) +
                             " lies outside the " + std::to_string(width) + " x " + std::to_string(height) + " movie");
  }
  ClickRegion box;
  box.left = std::max(0, click.x - box_w / 2);
  box.top = std::max(0, click.y - box_h / 2);
  box.right = std::min(width - 1, click.x - box_w / 2 + box_w - 1);
  box.bottom = std::min(height - 1, click.y - box_h / 2 + box_h - 1);
  return box;
}
