#include "image/thumbnail.h"

#include <cstring>

#include "platform/memory_block.h"

namespace {

// The most samples a row can take: two for each of the 80 output pixels.
constexpr uint32_t kMaxSamples = 2 * kThumbnailSide;

// How many times an error accumulator that has just reached e must give back
// step to be negative again; the accumulator is then e - count * step.
// This is the "while e >= 0: count++, e -= step" loop done in one division,
// so that the cost does not grow with the source size.
int64_t Overflows(int64_t e, int64_t step)
{
    return e >= 0 ? e / step + 1 : 0;
}

// Writes dh rows of dw pixels at dst, dstStride bytes apart, each the mean
// of a 2 x 2 grid of point samples of the w x h source placed by integer
// accumulators. column holds 2 x dw entries and sample 2 x 2 x dw x 3 bytes
// of work memory.
void ResampleRows(const uint8_t* src, int64_t w, int64_t h, ptrdiff_t stride, uint8_t* dst, uint32_t dw,
                  uint32_t dh, ptrdiff_t dstStride, int64_t* column, uint8_t* sample)
{
    if (dw == 0 || dh == 0)
        return;
    const uint32_t samples = 2 * dw;

    // Horizontal advances in source half-pixels: sample j sits at the half
    // pixel nearest to j * (2w - 1) / (2dw - 1), an exact half going up.
    // The byte offsets of the samples inside a row are the same for every
    // row; the last one falls on the last source pixel.
    const int64_t hStep = 2 * (2 * int64_t(dw) - 1);
    int64_t e = -(2 * int64_t(dw) - 1);
    int64_t p = 0, half = 0;
    for (uint32_t j = 0; j < samples; ++j) {
        e += 2 * (2 * w - 1);
        int64_t count = Overflows(e, hStep);
        e -= count * hStep;
        column[j] = p;
        half += count;
        p += 3 * (half / 2);
        half %= 2;
    }

    // Vertical state: the same accumulator over sub-rows.
    const int64_t vStep = 2 * (2 * int64_t(dh) - 1);
    int64_t v = -(2 * int64_t(dh) - 1);
    int64_t phase = 0, row = 0;
    uint8_t* sub[2] = {sample, sample + 3 * size_t(samples)};

    for (uint32_t y = 0; y < dh; ++y) {
        for (int s = 0; s < 2; ++s) {
            // Point samples of this sub-row.
            const uint8_t* line = src + row * stride;
            for (uint32_t j = 0; j < samples; ++j)
                memcpy(sub[s] + 3 * j, line + column[j], 3);

            // Step down: two phases make one source row.
            v += 2 * (2 * h - 1);
            int64_t steps = Overflows(v, vStep);
            v -= steps * vStep;
            phase += steps;
            row += phase / 2;
            phase %= 2;
        }

        // Each output pixel is the truncated mean of four samples.
        uint8_t* out = dst + dstStride * ptrdiff_t(y);
        for (uint32_t x = 0; x < dw; ++x) {
            for (int k = 0; k < 3; ++k) {
                unsigned sum = sub[0][6 * x + k] + sub[1][6 * x + k] + sub[0][6 * x + 3 + k] +
                               sub[1][6 * x + 3 + k];
                out[3 * x + k] = static_cast<uint8_t>(sum / 4);
            }
        }
    }
}

}  // namespace

void ScaleToThumbnail(ThumbnailBlock* thumb, const uint8_t* src, uint32_t width, uint32_t height,
                      ptrdiff_t stride)
{
    // The white ground.
    memset(thumb->pixels, 255, sizeof thumb->pixels);
    if (width == 0 || height == 0)
        return;

    // Keep the aspect ratio; a wide picture is centred vertically here, a
    // tall one horizontally by Resample2x2. The products are 64-bit so that
    // no width wraps.
    uint32_t dw = kThumbnailSide, dh = kThumbnailSide, top = 0;
    if (width > height) {
        dh = static_cast<uint32_t>(uint64_t(height) * kThumbnailSide / width);
        top = (kThumbnailSide - dh) / 2;
    } else if (width < height) {
        dw = static_cast<uint32_t>(uint64_t(width) * kThumbnailSide / height);
    }
    Resample2x2(src, thumb->pixels + kThumbnailRowBytes * top, width - 1, height - 1, dw, dh, stride);
}

void Resample2x2(const uint8_t* src, uint8_t* dst, uint32_t wLast, uint32_t hLast, uint32_t dw,
                 uint32_t dh, ptrdiff_t stride)
{
    if (dw > kThumbnailSide)
        dw = kThumbnailSide;
    if (dh > kThumbnailSide)
        dh = kThumbnailSide;
    int64_t column[kMaxSamples];
    uint8_t sample[2 * kMaxSamples * 3];
    ResampleRows(src, int64_t(wLast) + 1, int64_t(hLast) + 1, stride,
                 dst + 3 * ((kThumbnailSide - dw) / 2), dw, dh, kThumbnailRowBytes, column, sample);
}

bool ScaleToSize(const uint8_t* src, uint32_t width, uint32_t height, ptrdiff_t stride, uint8_t* dst,
                 uint32_t dw, uint32_t dh, ptrdiff_t dstStride)
{
    if (width == 0 || height == 0 || dw == 0 || dh == 0)
        return false;
    ScopedFixed column(FixedAlloc(2 * size_t(dw) * sizeof(int64_t)));
    ScopedFixed sample(FixedAlloc(2 * 2 * size_t(dw) * 3));
    if (!column.get() || !sample.get())
        return false;
    ResampleRows(src, width, height, stride, dst, dw, dh, dstStride,
                 reinterpret_cast<int64_t*>(column.get()), sample.get());
    return true;
}

void FitIntoSquare(uint32_t width, uint32_t height, uint32_t side, uint32_t* dw, uint32_t* dh)
{
    *dw = side;
    *dh = side;
    if (width > height)
        *dh = static_cast<uint32_t>(uint64_t(height) * side / width);
    else if (width < height)
        *dw = static_cast<uint32_t>(uint64_t(width) * side / height);
    if (*dw == 0)
        *dw = 1;
    if (*dh == 0)
        *dh = 1;
}
