// vostrel's run summary. Names are bytes, not text: they become JSON strings
// by the rules of UTF-8, with what is no UTF-8 replaced rather than passed on.
#include "summary.h"

namespace vostrel {

namespace {

void AppendEscape(std::string& out, uint32_t code) {
  static constexpr char kHex[] = "0123456789abcdef";
  switch (code) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      out += "\\u00";
      out += kHex[code >> 4];
      out += kHex[code & 0xF];
  }
}

// The length of the well-formed UTF-8 sequence at the start of `s`, or,
// when there is none, minus the length of its maximal subpart (at least 1):
// the bytes that one U+FFFD replaces.
int SequenceLength(std::string_view s) {
  const auto b = static_cast<unsigned char>(s[0]);
  if (b < 0x80) return 1;
  int length;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;   // no overlong forms
    if (b == 0xED) high = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return -1;
  }
  for (int i = 1; i < length; ++i) {
    if (static_cast<size_t>(i) >= s.size()) return -i;
    const auto c = static_cast<unsigned char>(s[static_cast<size_t>(i)]);
    if (c < low || c > high) return -i;
    low = 0x80;
    high = 0xBF;
  }
  return length;
}

void AppendNumber(std::string& out, std::string_view name, int64_t value) {
  out += ",\"";
  out += name;
  out += "\":";
  out += std::to_string(value);
}

void AppendNullable(std::string& out, std::string_view name,
                    const std::optional<int64_t>& value) {
  if (value) return AppendNumber(out, name, *value);
  out += ",\"";
  out += name;
  out += "\":null";
}

void AppendCounts(std::string& out, std::string_view name,
                  const std::vector<uint64_t>& counts) {
  out += ",\"";
  out += name;
  out += "\":[";
  for (size_t i = 0; i < counts.size(); ++i) {
    if (i > 0) out += ',';
    out += std::to_string(counts[i]);
  }
  out += ']';
}

void AppendDate(std::string& out, std::string_view name,
                const std::optional<std::array<int32_t, 4>>& date) {
  out += ",\"";
  out += name;
  out += "\":";
  if (!date) {
    out += "null";
    return;
  }
  out += '[';
  for (size_t i = 0; i < 4; ++i) {
    if (i > 0) out += ',';
    out += std::to_string((*date)[i]);
  }
  out += ']';
}

void AppendBool(std::string& out, std::string_view name, bool value) {
  out += ",\"";
  out += name;
  out += value ? "\":true" : "\":false";
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes) {
  out += '"';
  while (!bytes.empty()) {
    const int length = SequenceLength(bytes);
    if (length < 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      bytes.remove_prefix(static_cast<size_t>(-length));
      continue;
    }
    const auto b = static_cast<unsigned char>(bytes[0]);
    if (b < 0x20 || b == '"' || b == '\\' || b == 0x7F) {
      AppendEscape(out, b);
    } else if (b == 0xC2 && static_cast<unsigned char>(bytes[1]) < 0xA0) {
      AppendEscape(out, static_cast<unsigned char>(bytes[1]));  // C1
    } else {
      out.append(bytes.substr(0, static_cast<size_t>(length)));
    }
    bytes.remove_prefix(static_cast<size_t>(length));
  }
  out += '"';
}

namespace {

void AppendJsonStringOrNull(std::string& out,
                            const std::optional<std::string>& text) {
  if (text) {
    AppendJsonString(out, *text);
  } else {
    out += "null";
  }
}

}  // namespace

std::string SummaryJson(const RunSummary& s) {
  std::string out = "{\"version\":";
  AppendJsonString(out, VOSTREL_VERSION);
  AppendNumber(out, "status", s.status);
  out += ",\"message\":";
  AppendJsonStringOrNull(out, s.message);
  out += ",\"input\":";
  AppendJsonString(out, s.input);
  out += ",\"outputs\":{\"daily\":";
  AppendJsonString(out, s.daily);
  out += ",\"monthly\":";
  AppendJsonString(out, s.monthly);
  out += ",\"yearly\":";
  AppendJsonStringOrNull(out, s.yearly);
  out += ",\"csv\":[";
  for (size_t i = 0; i < s.csv.size(); ++i) {
    if (i > 0) out += ',';
    AppendJsonString(out, s.csv[i]);
  }
  out += "]}";
  AppendNullable(out, "header_rows", s.header_rows);
  AppendNullable(out, "columns", s.columns);
  AppendNumber(out, "records", static_cast<int64_t>(s.records));
  AppendDate(out, "first", s.first);
  AppendDate(out, "last", s.last);
  AppendNumber(out, "days", static_cast<int64_t>(s.days));
  AppendNumber(out, "months", static_cast<int64_t>(s.months));
  AppendNumber(out, "years", static_cast<int64_t>(s.years));
  AppendCounts(out, "incomplete_days", s.incomplete_days);
  AppendCounts(out, "incomplete_months", s.incomplete_months);
  AppendCounts(out, "incomplete_years", s.incomplete_years);
  out += ",\"stopped\":";
  if (s.stopped_line) {
    out += "{\"line\":" + std::to_string(*s.stopped_line) + ",\"text\":";
    AppendJsonString(out, s.stopped_text);
    out += '}';
  } else {
    out += "null";
  }
  AppendBool(out, "no_day_closed", s.no_day_closed);
  AppendNullable(out, "short_record", s.short_record);
  AppendBool(out, "ended_inside_day", s.ended_inside_day);
  AppendNumber(out, "missing", static_cast<int64_t>(s.missing));
  out += "}\n";
  return out;
}

}  // namespace vostrel
