// Library-wide error type and small text utilities: word lists, number lists, environment.
#include "global.h"

#include <algorithm>
#include <cmath>    // for std::isfinite
#include <cstdlib>  // for std::strtol, std::getenv, std::exit
#include <iostream>
#include <utility>

#include "diagnostics.h"

namespace VXMole {

MoleExcept::MoleExcept(unsigned code, std::string location, std::string message)
    : code(code), location(std::move(location)), message(std::move(message)) {}

MoleExcept raise(const ErrorDef& def, std::string suffix, std::string locationSuffix) {
  std::string message(def.message);
  message += suffix;
  message += def.tail;
  std::string location(def.location);
  location += locationSuffix;
  return MoleExcept(def.code, std::move(location), std::move(message));
}

namespace {

// Calls fn(token) for every maximal run of characters not in `delimiters`.
template <class Fn>
void forEachToken(const std::string& text, const std::string& delimiters, Fn fn) {
  std::string::size_type start = text.find_first_not_of(delimiters);
  while (start != std::string::npos) {
    std::string::size_type end = text.find_first_of(delimiters, start);
    if (end == std::string::npos) end = text.size();
    fn(text.substr(start, end - start));
    start = text.find_first_not_of(delimiters, end);
  }
}

}  // namespace

bool appartient(std::string word, const std::string& list) {
  // The empty word is a substring of every list, an empty one included.
  if (word.find(" ,") == std::string::npos && list.find(word) != std::string::npos) return true;
  bool found = false;
  forEachToken(list, " ,", [&](const std::string& token) {
    if (!found && token == word) found = true;
  });
  return found;
}

void Tokenize(const std::string& text, std::vector<uint32_t>& out, const std::string& delimiters) {
  forEachToken(text, delimiters, [&](const std::string& token) {
    out.push_back(static_cast<uint32_t>(std::strtol(token.c_str(), nullptr, 10)));
  });
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

void Token_Str(const std::string& text, std::vector<std::string>& out,
               const std::string& delimiters) {
  forEachToken(text, delimiters, [&](const std::string& token) { out.push_back(token); });
}

bool startsWith(std::string_view line, std::string_view head) {
  return line.compare(0, head.size(), head) == 0;
}

std::string_view trimmed(std::string_view text) {
  constexpr const char* kBlanks = " \t\r\f\v";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool readWholeDecimal(std::string_view field, double& value) {
  const std::string text(trimmed(field));
  char* end = nullptr;
  value = text.empty() ? 0 : std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && std::isfinite(value);
}

long long leadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 0xFFFFFFFFll) return 0;
  }
  return negative ? -value : value;
}

std::string get_Vexil_LIB_Path(std::string variable) {
  if (variable.empty()) variable = "VEXIL_LIB";
  const char* value = std::getenv(variable.c_str());
  if (value == nullptr) {
    diagnostics() << "NO " << variable << " DEFINED" << std::endl;
    std::exit(1);
  }
  return value;
}

}  // namespace VXMole
