// The imaging component's decoder for one own format: it reads the whole
// stream at Initialize, decodes it with the own decoders and offers the
// picture as one frame in 24-bit blue, green, red. No metadata, no palette,
// no preview or thumbnail of its own.
#pragma once

#include <wincodec.h>

#include "codec/codec_formats.h"

// Creates a decoder for format and returns the interface iid asks for.
HRESULT CreateWicDecoder(const CodecFormat* format, REFIID iid, void** object);
