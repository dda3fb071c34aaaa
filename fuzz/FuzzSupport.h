// Shared helpers of the fuzz targets: splitting an input into fields, and
// checking a property so that a violation stops the fuzzer with the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/Text.h"

namespace Fuzz {

// The input split at its line feeds into at most `count` fields; the last
// field takes the rest, line feeds included. Missing fields are empty, so
// seed files stay readable text with one field a line.
inline std::vector<std::string_view> Fields(const uint8_t* data, size_t size, size_t count) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const size_t end = rest.find('\n');
    fields.push_back(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  fields.push_back(rest);
  return fields;
}

// The input split at every line feed (at least one line).
inline std::vector<std::string_view> Lines(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> lines;
  for (size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
    lines.push_back(rest.substr(0, end));
    rest = rest.substr(end + 1);
  }
  lines.push_back(rest);
  return lines;
}

// Fuzz bytes as text: UTF-8 decoded, other bytes carried as lone surrogates,
// so every unit the program can meet is reachable.
inline Text ToText(std::string_view bytes) { return TextFromUtf8(bytes); }

// The leading bytes of a field as a little-endian number (missing bytes 0).
inline uint64_t Number(std::string_view bytes) {
  uint64_t value = 0;
  for (size_t i = 0; i < bytes.size() && i < 8; ++i)
    value |= uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  return value;
}

[[noreturn]] inline void Fail(const char* property, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, property);
  std::abort();
}

}  // namespace Fuzz

// Stops the run (libFuzzer then saves the input) when `cond` is false.
#define FUZZ_CHECK(cond) ((cond) ? void(0) : Fuzz::Fail(#cond, __FILE__, __LINE__))
