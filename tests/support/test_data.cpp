#include "support/test_data.h"

#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace {

// tests/data, from this file's own path (tests/support/test_data.cpp); under
// Wine the Unix root is drive Z:.
fs::path DataRoot()
{
    std::string here = __FILE__;
#ifdef _WIN32
    if (!here.empty() && here[0] == '/')
        here = "Z:" + here;
#endif
    return fs::u8path(here).parent_path().parent_path() / "data";
}

}  // namespace

std::string TestDataPathUtf8(const std::string& relative)
{
    return (DataRoot() / fs::u8path(relative)).make_preferred().u8string();
}

bool ReadTestData(const std::string& relative, std::vector<uint8_t>* bytes)
{
    std::ifstream in(DataRoot() / fs::u8path(relative), std::ios::binary);
    if (!in)
        return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

DecodeRun RunDecoder(SizeQuery size, DecoderEntry decode, const std::vector<uint8_t>& source, int withAlpha,
                     size_t maxBytes)
{
    DecodeRun run;
    run.sized = size(source.data(), source.size(), &run.width, &run.height);
    if (!run.sized)
        return run;
    uint64_t bytes = uint64_t(run.width) * run.height * (withAlpha ? 4 : 3);
    if (run.width != 0 && bytes / run.width / (withAlpha ? 4 : 3) != run.height)
        return run;
    if (bytes > maxBytes)
        return run;
    run.pixels.assign(size_t(bytes), 0xCD);
    run.result = decode(source.data(), source.size(), run.pixels.data(), run.pixels.size(), withAlpha);
    return run;
}

std::vector<size_t> DecodeEveryPrefix(SizeQuery size, DecoderEntry decode, const std::vector<uint8_t>& source,
                                      int withAlpha, size_t everyLengthUpTo, size_t stepAfter)
{
    std::vector<size_t> failed;
    std::vector<uint8_t> zeros, ones;
    for (size_t len = 0; len <= source.size(); len += len < everyLengthUpTo ? 1 : stepAfter) {
        std::unique_ptr<uint8_t[]> exact(new uint8_t[len > 0 ? len : 1]);
        std::copy(source.begin(), source.begin() + len, exact.get());
        uint32_t w = 0, h = 0;
        if (!size(exact.get(), len, &w, &h))
            continue;

        // Two destinations filled differently must come out the same: every
        // byte is written even when the data runs out.
        size_t bytes = size_t(w) * h * (withAlpha ? 4 : 3);
        zeros.assign(bytes, 0x00);
        ones.assign(bytes, 0xFF);
        int a = decode(exact.get(), len, zeros.data(), bytes, withAlpha);
        int b = decode(exact.get(), len, ones.data(), bytes, withAlpha);
        if (a < 0 || a != b || zeros != ones)
            failed.push_back(len);
    }
    return failed;
}

std::string PixelText(const DecodeRun& run, int withAlpha, uint32_t x, uint32_t y)
{
    size_t bpp = withAlpha ? 4 : 3;
    size_t at = (size_t(y) * run.width + x) * bpp;
    if (at + bpp > run.pixels.size())
        return "(outside)";
    std::string text;
    for (size_t i = 0; i < bpp; ++i)
        text += (i ? "," : "") + std::to_string(run.pixels[at + i]);
    return text;
}
