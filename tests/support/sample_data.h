// Deterministic sample data for archive tests and benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Uniformly random bytes.
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);
// English-like text: words of a small vocabulary, spaces, punctuation, lines.
std::vector<uint8_t> TextLikeBytes(size_t size, uint32_t seed);
// A 24-bit bottom-up BMP file of about size bytes: smooth gradients with
// noise and flat areas, as photographs and drawings mix them.
std::vector<uint8_t> BmpLikeBytes(size_t size, uint32_t seed);
