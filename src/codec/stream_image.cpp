#include "codec/stream_image.h"

#include <wincodec.h>

#include <cstring>

#include "codec/codec_formats.h"
#include "image/load_image.h"

namespace {

// Moves the stream's seek position to offset from its start.
HRESULT SeekTo(IStream* stream, uint64_t offset)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return stream->Seek(to, STREAM_SEEK_SET, nullptr);
}

// Reads exactly count bytes into at, in pieces of at most 1 MiB (a stream
// may return less than asked at a time). Returns WINCODEC_ERR_STREAMREAD
// when the stream ends or fails first.
HRESULT ReadExactly(IStream* stream, uint8_t* at, uint64_t count)
{
    while (count > 0) {
        ULONG want = count > (1u << 20) ? (1u << 20) : static_cast<ULONG>(count);
        ULONG got = 0;
        HRESULT hr = stream->Read(at, want, &got);
        if (FAILED(hr) || got == 0 || got > want)
            return WINCODEC_ERR_STREAMREAD;
        at += got;
        count -= got;
    }
    return S_OK;
}

}  // namespace

HRESULT ClassifyStream(IStream* stream, FileKind* kind)
{
    if (!stream || !kind)
        return E_INVALIDARG;

    // Where the host left the stream, to be put back afterwards.
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER was = {};
    HRESULT hr = stream->Seek(zero, STREAM_SEEK_CUR, &was);
    if (FAILED(hr))
        return hr;

    uint8_t header[kClassifyHeaderSize];
    hr = SeekTo(stream, 0);
    if (SUCCEEDED(hr))
        hr = ReadExactly(stream, header, sizeof header);
    HRESULT back = SeekTo(stream, was.QuadPart);
    if (FAILED(hr))
        return hr;
    if (FAILED(back))
        return back;
    *kind = ClassifyHeader(nullptr, header);
    return S_OK;
}

HRESULT ReadStreamImage(IStream* stream, MemoryBlock* block)
{
    if (!stream || !block)
        return E_INVALIDARG;

    // The size the stream says it holds; nothing past it is read.
    STATSTG stat = {};
    HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr))
        return hr;
    uint64_t size = stat.cbSize.QuadPart;
    if (size < kClassifyHeaderSize)
        return WINCODEC_ERR_UNKNOWNIMAGEFORMAT;
    if (size > kMaxStreamImageSize)
        return WINCODEC_ERR_IMAGESIZEOUTOFRANGE;

    ScopedMemoryBlock owned(MemoryBlockAlloc(static_cast<size_t>(size)));
    if (!owned.get())
        return E_OUTOFMEMORY;
    {
        MemoryBlockLockHolder lock(owned.get());
        if (!lock.bytes())
            return E_OUTOFMEMORY;
        hr = SeekTo(stream, 0);
        if (SUCCEEDED(hr))
            hr = ReadExactly(stream, lock.bytes(), size);
        if (FAILED(hr))
            return hr;

        // The heap may round the block up, and the decoders are given the
        // block's whole size: the slack reads as zeros, as past the end of
        // a file, rather than as whatever the heap left there.
        size_t held = MemoryBlockSize(owned.get());
        if (held > size)
            memset(lock.bytes() + size, 0, held - size);
    }
    *block = owned.release();
    return S_OK;
}

HRESULT DecodeStreamImage(IStream* stream, const FileKind* only, DecodedImage* image, FileKind* kind)
{
    MemoryBlock block = nullptr;
    HRESULT hr = ReadStreamImage(stream, &block);
    if (FAILED(hr))
        return hr;
    ScopedMemoryBlock owned(block);

    // Only the five formats the codec is registered for, and of those only
    // the one asked for; the TGA rule needs a name and never applies here.
    FileKind k = ClassifyBlock(nullptr, block);
    if (!FindCodecFormatByKind(k) || (only && *only != k))
        return WINCODEC_ERR_UNKNOWNIMAGEFORMAT;

    DecodedImage decoded{};
    if (LoadOwnImageBlock(owned.release(), &decoded, 0) != 0)
        return WINCODEC_ERR_BADIMAGE;
    *image = decoded;
    *kind = k;
    return S_OK;
}
