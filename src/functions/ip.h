#pragma once
// Address checks and the metric reading of the Save command.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One text: true when empty, else inet_addr(text) != INADDR_NONE.
bool IsValidIp(const std::string& text);
// A list: each element (empty ones too) must pass inet_addr.
bool IsValidIp(const std::vector<std::string>& list);

// The metric stored for a text, as the Save command computes it: the number at the start of the
// text (blanks, tabs and line feeds ignored wherever they stand; reading stops at the first
// character that cannot continue the number; no number gives 0), rounded half to even, then 0
// becomes 1. Decimal text may carry a fraction and an exponent (E or D); "&H" and "&O" start
// hexadecimal and octal numbers. Empty when the value lies outside the signed 32-bit range.
std::optional<std::int32_t> MetricFromText(const std::string& text);
