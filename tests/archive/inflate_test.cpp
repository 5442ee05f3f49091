// Inflate on hand-made streams: each block type, the limit, the window's
// rounds and every error code.
#include "archive/inflate.h"

#include <vector>

#include <gtest/gtest.h>

#include "support/deflate_writer.h"
#include "support/sample_data.h"

namespace {

struct Result {
    int code;
    std::vector<uint8_t> bytes;
};

Result Decode(const std::vector<uint8_t>& stream, uint32_t limit)
{
    std::vector<uint8_t> window(kInflateWindowSize);
    InflateState state = {};
    state.window = window.data();
    Result r;
    r.bytes.assign(limit, 0xCD);
    r.code = Inflate(&state, stream.data(), r.bytes.data(), static_cast<uint32_t>(stream.size()), limit);
    r.bytes.resize(state.outputCount);
    return r;
}

std::vector<uint8_t> Bytes(const char* text)
{
    return std::vector<uint8_t>(text, text + strlen(text));
}

// The code-length code used by the dynamic blocks below: complete, with
// symbols 0 to 12 of length 4 and 13 to 18 of length 5.
std::vector<uint8_t> CodeLengthLengths()
{
    std::vector<uint8_t> cl(19, 4);
    for (int s = 13; s < 19; ++s)
        cl[s] = 5;
    return cl;
}

// A complete literal/length code of 286 symbols: literals of 9 bits, the
// end code and the length codes 257 to 283 of 6 bits, 284 and 285 of 5.
std::vector<uint8_t> FullLiteralLengths()
{
    std::vector<uint8_t> l(286, 9);
    for (int s = 256; s < 284; ++s)
        l[s] = 6;
    l[284] = l[285] = 5;
    return l;
}

// Writes a literal or length symbol of a dynamic code.
void PutSymbol(DeflateWriter& w, const std::vector<uint8_t>& lengths, uint32_t symbol)
{
    w.Code(CanonicalCodes(lengths)[symbol], lengths[symbol]);
}

TEST(Inflate, StoredBlockGivesItsBytesAndChecksItsLength)
{
    DeflateWriter w;
    w.Stored(true, Bytes("hello"));
    Result r = Decode(w.Finish(), 100);
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(Bytes("hello"), r.bytes);

    std::vector<uint8_t> bad = w.Finish();
    bad[3] ^= 1;  // NLEN no longer the complement
    EXPECT_EQ(kInflateBadStoredLength, Decode(bad, 100).code);
}

TEST(Inflate, FixedBlockOfOneLiteral)
{
    DeflateWriter w;
    w.Header(true, 1);
    w.FixedSymbol(0x41);
    w.FixedSymbol(256);
    Result r = Decode(w.Finish(), 10);
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(Bytes("A"), r.bytes);
}

TEST(Inflate, LongMemberCrossesWholeWindowsAndMixedBlocks)
{
    // 200,000 bytes: three whole windows and a partial one, through the
    // fixed-code encoder, with stored blocks before and after.
    std::vector<uint8_t> data = TextLikeBytes(200000, 4);
    std::vector<uint8_t> head = RandomBytes(70000, 5);
    DeflateWriter w;
    w.Stored(false, std::vector<uint8_t>(head.begin(), head.begin() + 65535));
    w.Stored(false, std::vector<uint8_t>(head.begin() + 65535, head.end()));
    std::vector<uint8_t> stream = w.Finish();
    std::vector<uint8_t> body = DeflateFixed(data);
    body[0] &= ~1;  // not the final block
    stream.insert(stream.end(), body.begin(), body.end());
    DeflateWriter tail;
    tail.Stored(true, Bytes("end"));
    std::vector<uint8_t> t = tail.Finish();
    stream.insert(stream.end(), t.begin(), t.end());

    std::vector<uint8_t> expect = head;
    expect.insert(expect.end(), data.begin(), data.end());
    expect.insert(expect.end(), {'e', 'n', 'd'});
    Result r = Decode(stream, static_cast<uint32_t>(expect.size()));
    EXPECT_EQ(0, r.code);
    EXPECT_TRUE(expect == r.bytes);
}

TEST(Inflate, OutputLimitStopsWithSuccess)
{
    // After the 18th byte nothing more is decoded: the bad block type behind
    // the data is never reached.
    std::vector<uint8_t> data = TextLikeBytes(5000, 6);
    std::vector<uint8_t> stream = DeflateFixed(data);
    for (uint32_t limit : {1u, 18u, 4999u}) {
        Result r = Decode(stream, limit);
        EXPECT_EQ(0, r.code);
        ASSERT_EQ(limit, r.bytes.size());
        EXPECT_TRUE(std::equal(r.bytes.begin(), r.bytes.end(), data.begin()));
    }
    DeflateWriter w;
    w.Stored(false, std::vector<uint8_t>(data.begin(), data.begin() + 18));
    w.Header(true, 3);
    EXPECT_EQ(0, Decode(w.Finish(), 18).code);
    EXPECT_EQ(kInflateBadBlockType, Decode(w.Finish(), 19).code);
    EXPECT_EQ(0, Decode(w.Finish(), 0).code);  // nothing asked for
}

TEST(Inflate, MatchesAcrossTheWindowsEnd)
{
    // Long runs at distance 1, 7 and 32768 cross the window's end and the
    // output limit in the middle of a match.
    std::vector<uint8_t> pattern = RandomBytes(32768, 8);
    DeflateWriter w;
    w.Header(true, 1);
    for (uint8_t b : pattern)
        w.FixedSymbol(b);
    std::vector<uint8_t> expect = pattern;
    for (int i = 0; i < 400; ++i) {
        uint32_t distance = i % 3 == 0 ? 1 : i % 3 == 1 ? 7 : 32768;
        w.FixedMatch(258, distance);
        for (int k = 0; k < 258; ++k)
            expect.push_back(expect[expect.size() - distance]);
    }
    w.FixedSymbol(256);
    std::vector<uint8_t> stream = w.Finish();
    Result r = Decode(stream, static_cast<uint32_t>(expect.size()));
    EXPECT_EQ(0, r.code);
    EXPECT_TRUE(expect == r.bytes);
    for (uint32_t limit : {65535u, 65536u, 65537u, 100000u}) {
        Result part = Decode(stream, limit);
        EXPECT_EQ(0, part.code);
        EXPECT_TRUE(std::equal(part.bytes.begin(), part.bytes.end(), expect.begin())) << limit;
        EXPECT_EQ(limit, part.bytes.size());
    }
}

TEST(Inflate, DynamicBlockWithAllLengthCodes)
{
    std::vector<uint8_t> lit = FullLiteralLengths();
    std::vector<uint8_t> lengths = lit;
    lengths.insert(lengths.end(), {1, 1});  // two distance codes: 1 and 2
    DeflateWriter w;
    DynamicHeader(w, true, 286, 2, CodeLengthLengths(), PlainLengths(lengths));
    PutSymbol(w, lit, 'a');
    PutSymbol(w, lit, 'b');
    PutSymbol(w, lit, 285);  // length 258
    w.Code(1, 1);            // distance 2
    PutSymbol(w, lit, 256);
    Result r = Decode(w.Finish(), 1000);
    EXPECT_EQ(0, r.code);
    ASSERT_EQ(260u, r.bytes.size());
    for (size_t i = 0; i < r.bytes.size(); ++i)
        EXPECT_EQ(i % 2 ? 'b' : 'a', r.bytes[i]);
}

TEST(Inflate, DistancesNeededOnlyWhenLengthCodesExist)
{
    // Only literals and the end code, no distance code: decodes.
    std::vector<uint8_t> lit(257, 0);
    lit['x'] = 1;
    lit[256] = 1;
    std::vector<uint8_t> lengths = lit;
    lengths.push_back(0);
    DeflateWriter w;
    DynamicHeader(w, true, 257, 1, CodeLengthLengths(), PlainLengths(lengths));
    PutSymbol(w, lit, 'x');
    PutSymbol(w, lit, 'x');
    PutSymbol(w, lit, 256);
    Result r = Decode(w.Finish(), 10);
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(Bytes("xx"), r.bytes);

    // The same with a length code: refused.
    std::vector<uint8_t> lit2(258, 0);
    lit2['x'] = 1;
    lit2[256] = 2;
    lit2[257] = 2;
    lengths = lit2;
    lengths.push_back(0);
    DeflateWriter w2;
    DynamicHeader(w2, true, 258, 1, CodeLengthLengths(), PlainLengths(lengths));
    EXPECT_EQ(kInflateIncomplete, Decode(w2.Finish(), 10).code);
}

TEST(Inflate, LoneCodeOfLengthOneIsComplete)
{
    // The end code alone, one bit long.
    std::vector<uint8_t> lengths(258, 0);
    lengths[256] = 1;
    DeflateWriter w;
    DynamicHeader(w, false, 257, 1, CodeLengthLengths(), PlainLengths(lengths));
    w.Bits(0, 1);
    w.Stored(true, Bytes("ok"));
    Result r = Decode(w.Finish(), 10);
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(Bytes("ok"), r.bytes);
}

TEST(Inflate, BadCodeSetsAreRefused)
{
    std::vector<uint8_t> lit = FullLiteralLengths();
    std::vector<uint8_t> lengths = lit;
    lengths.insert(lengths.end(), {1, 1});

    // A literal code with a hole in it.
    std::vector<uint8_t> holed = lengths;
    holed['q'] = 10;
    DeflateWriter a;
    DynamicHeader(a, true, 286, 2, CodeLengthLengths(), PlainLengths(holed));
    EXPECT_EQ(kInflateIncomplete, Decode(a.Finish(), 10).code);

    // An over-full literal code.
    std::vector<uint8_t> full = lengths;
    full['q'] = 8;
    DeflateWriter b;
    DynamicHeader(b, true, 286, 2, CodeLengthLengths(), PlainLengths(full));
    EXPECT_EQ(kInflateOversubscribed, Decode(b.Finish(), 10).code);

    // A literal code without its end code.
    std::vector<uint8_t> noEnd(257, 0);
    noEnd['a'] = 1;
    noEnd['b'] = 1;
    noEnd.push_back(0);
    DeflateWriter c;
    DynamicHeader(c, true, 257, 1, CodeLengthLengths(), PlainLengths(noEnd));
    EXPECT_EQ(kInflateIncomplete, Decode(c.Finish(), 10).code);

    // Code-length codes: incomplete, empty, over-full.
    std::vector<uint8_t> cl = CodeLengthLengths();
    cl[18] = 0;
    DeflateWriter d;
    DynamicHeader(d, true, 286, 2, cl, {});
    EXPECT_EQ(kInflateIncomplete, Decode(d.Finish(), 10).code);
    DeflateWriter e;
    DynamicHeader(e, true, 286, 2, std::vector<uint8_t>(19, 0), {});
    EXPECT_EQ(kInflateIncomplete, Decode(e.Finish(), 10).code);
    DeflateWriter f;
    DynamicHeader(f, true, 286, 2, std::vector<uint8_t>(19, 1), {});
    EXPECT_EQ(kInflateOversubscribed, Decode(f.Finish(), 10).code);
}

TEST(Inflate, RepeatsInTheLengthSequence)
{
    // Zeros by 17 and 18 and a repeat by 16; one that passes the end gives 8.
    std::vector<uint8_t> lit(257, 0);
    lit['z'] = 1;
    lit[256] = 1;
    // 122 zeros, 'z' of length 1, 133 zeros, the end code, no distance code.
    std::vector<CodeLengthSymbol> good = {{18, 111}, {1}, {18, 122}, {1}, {0}};
    DeflateWriter w;
    DynamicHeader(w, true, 257, 1, CodeLengthLengths(), good);
    PutSymbol(w, lit, 'z');
    PutSymbol(w, lit, 256);
    Result r = Decode(w.Finish(), 10);
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(Bytes("z"), r.bytes);

    // 16 at the very start repeats a length of 0.
    std::vector<CodeLengthSymbol> startRepeat = {{16, 0}, {18, 108}, {1}, {18, 122}, {1}, {0}};
    DeflateWriter s;
    DynamicHeader(s, true, 257, 1, CodeLengthLengths(), startRepeat);
    PutSymbol(s, lit, 'z');
    PutSymbol(s, lit, 256);
    EXPECT_EQ(Bytes("z"), Decode(s.Finish(), 10).bytes);

    std::vector<CodeLengthSymbol> over = {{18, 111}, {1}, {18, 122}, {1}, {17, 0}};
    DeflateWriter o;
    DynamicHeader(o, true, 257, 1, CodeLengthLengths(), over);
    EXPECT_EQ(kInflateRepeatTooLong, Decode(o.Finish(), 10).code);
}

TEST(Inflate, InvalidCodesInTheData)
{
    // Length codes 286 and 287 and distance codes 30 and 31 of the fixed code.
    for (uint32_t symbol : {286u, 287u}) {
        DeflateWriter w;
        w.Header(true, 1);
        w.FixedSymbol('a');
        w.FixedSymbol(symbol);
        EXPECT_EQ(kInflateBadCode, Decode(w.Finish(), 10).code) << symbol;
    }
    for (uint32_t code : {30u, 31u}) {
        DeflateWriter w;
        w.Header(true, 1);
        w.FixedSymbol('a');
        w.FixedSymbol(257);
        w.Code(code, 5);
        EXPECT_EQ(kInflateBadCode, Decode(w.Finish(), 10).code) << code;
    }

    // A distance reaching before the first byte.
    DeflateWriter far;
    far.Header(true, 1);
    far.FixedSymbol('a');
    far.FixedMatch(3, 2);
    far.FixedSymbol(256);
    EXPECT_EQ(kInflateBadCode, Decode(far.Finish(), 10).code);

    // Block type 3.
    DeflateWriter t;
    t.Header(true, 3);
    EXPECT_EQ(kInflateBadBlockType, Decode(t.Finish(), 10).code);
}

TEST(Inflate, InputCutShortReadsAsZeroBits)
{
    // A stored block cut after two of its five bytes gives zeros for the rest.
    DeflateWriter w;
    w.Stored(true, Bytes("hello"));
    std::vector<uint8_t> cut = w.Finish();
    cut.resize(cut.size() - 3);
    Result r = Decode(cut, 5);
    EXPECT_EQ(0, r.code);
    EXPECT_EQ(std::vector<uint8_t>({'h', 'e', 0, 0, 0}), r.bytes);

    // A fixed block whose end code lies in the missing zero bits still ends.
    DeflateWriter f;
    f.Header(true, 1);
    f.FixedSymbol('A');
    f.FixedSymbol('B');
    f.FixedSymbol(256);
    std::vector<uint8_t> stream = f.Finish();
    ASSERT_EQ(0, stream.back());
    stream.pop_back();
    Result g = Decode(stream, 10);
    EXPECT_EQ(0, g.code);
    EXPECT_EQ(Bytes("AB"), g.bytes);

    // Nothing at all: a stored block whose check fails.
    EXPECT_EQ(kInflateBadStoredLength, Decode({}, 10).code);
}

}  // namespace
