// SHA-256 of a byte string, as lower-case hex, for comparing extracted
// members with the checksums the fixtures list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string Sha256Hex(const std::vector<uint8_t>& bytes);
