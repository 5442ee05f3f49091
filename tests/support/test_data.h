// The small archives committed under tests/data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads tests/data/RELATIVE; false when it cannot be read.
bool ReadTestData(const std::string& relative, std::vector<uint8_t>* bytes);
