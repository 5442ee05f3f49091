// UTF-8 and wide text, both ways. Wide text is UTF-16 on Windows and UTF-32
// natively; characters that cannot be encoded become U+FFFD.
#pragma once

#include <string>

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
