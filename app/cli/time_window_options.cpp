#include "app/cli/time_window_options.h"

#include <cstdio>

#include "app/cli/cli_messages.h"
#include "config/settings.h"
#include "engine/time_window.h"
#include "platform/text1251.h"

namespace korvel::cli {
namespace {

constexpr const char* kStartForm = "\"hh:mm:ss dd/mm/yyyy\" (a date that exists, from 1970 on)";
constexpr const char* kLengthForm =
    "hh:mm:ss (hours 00 to 99, minutes and seconds 00 to 59; 00:00:00 takes every time)";

// The window's message, then where the value came from and what it must be.
void RefuseTime(const std::string& text_1251, const std::string& option, const std::string& key,
                const char* form, bool from_ini) {
  const std::string text = Cp1251ToUtf8(text_1251);
  std::fflush(stdout);
  std::fprintf(stderr, "Ошибка: Введено ошибочное время '%s'\n", text.c_str());
  if (from_ini)
    SayError("korvel2tqf.ini [SYSTEM] " + key + "=" + text + " is not " + form +
             ": correct it there, or give " + option + " (or --all-times)");
  else
    SayError(option + " wants " + form + ", not '" + text + "'");
}

}  // namespace

std::optional<WindowChoice> ResolveTimeWindow(const std::string& start, const std::string& length,
                                              bool all_times) {
  if (all_times) return WindowChoice{};
  const std::string start_text = start.empty() ? ReadTimeWindowStart() : Utf8ToCp1251(start);
  const auto parsed_start = ParseWindowStart(start_text);
  if (!parsed_start) {
    RefuseTime(start_text, "--start", "TIME", kStartForm, start.empty());
    return std::nullopt;
  }
  const std::string length_text = length.empty() ? ReadTimeWindowLength() : Utf8ToCp1251(length);
  const auto parsed_length = ParseWindowLength(length_text);
  if (!parsed_length) {
    RefuseTime(length_text, "--length", "TIMEQTY", kLengthForm, length.empty());
    return std::nullopt;
  }
  return WindowChoice{*parsed_start, *parsed_length};
}

}  // namespace korvel::cli
