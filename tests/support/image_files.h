// The test pictures under tests/data/images and file images made from bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/memory_block.h"

// The full path of a file in tests/data/images, as the build's file
// functions take it (under Wine on drive Z:).
std::wstring TestImagePath(const std::string& name);

// Reads a whole test picture; false when it cannot be read.
bool ReadTestImage(const std::string& name, std::vector<uint8_t>* bytes);

// A new movable block holding exactly these bytes (nullptr when memory runs out).
MemoryBlock BlockFromBytes(const std::vector<uint8_t>& bytes);
