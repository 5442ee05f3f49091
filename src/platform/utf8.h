// UTF-8 and wide text, both ways. Wide text is UTF-16 on Windows and UTF-32
// natively; characters that cannot be encoded become U+FFFD.
#pragma once

#include <cstddef>
#include <string>

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// Decodes size bytes of UTF-8 into wide units at dst, writing at most
// capacity of them, and returns how many units the whole text takes (call
// with capacity 0 to learn it). Strict: an overlong form, a surrogate, a
// code point above U+10FFFF, a stray continuation byte and a cut sequence
// each give one U+FFFD for the byte where they begin, and decoding goes on
// at the next byte, so no byte sequence other than the shortest form can
// give a character (an overlong '/' stays no separator).
size_t Utf8ToWideUnits(const char* src, size_t size, wchar_t* dst, size_t capacity);
