// Writes the archives of the zizeconv convert tests, built from fixture
// pictures with the test ZIP builder:
//   zizeconv_tree FIXTURES GOOD BAD
// GOOD/zipped/pics.zip      fixture pictures in a folder, stored and deflated
// GOOD/zipped/nest.zip      pics.zip again inside a folder, and an LZH fixture
// GOOD/alpha.tga (+ .bgra)  a 32-bit TGA with transparency and its pixels
// BAD/slip.zip              one good picture and members with unsafe names
// BAD/giga.zip              a member that claims 3,000,000,000 bytes
// BAD/deep.zip              archives four deep, a picture at depth three
// BAD/broken.zip            a deflated member whose data is not Deflate
// GOOD/zipped/modern.zip    UTF-8 names (flag bit 11, Unicode Path field) and
//                           a streamed Zip64 member
// BAD/crc.zip               a picture whose stored CRC-32 is 0xDEADBEEF
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/tga_builder.h"
#include "support/zip_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

bool WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

ZipMember Member(const std::string& name, const Bytes& data, uint16_t method = 0)
{
    ZipMember m;
    m.name = name;
    m.data = data;
    m.method = method;
    return m;
}

// Sets the uncompressed size of the first central header to size.
void ClaimSize(Bytes* zip, uint32_t size)
{
    for (size_t i = 0; i + 28 <= zip->size(); ++i) {
        if ((*zip)[i] == 0x50 && (*zip)[i + 1] == 0x4B && (*zip)[i + 2] == 1 && (*zip)[i + 3] == 2) {
            for (int b = 0; b < 4; ++b)
                (*zip)[i + 24 + b] = uint8_t(size >> (8 * b));
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: zizeconv_tree FIXTURES GOOD BAD\n");
        return 2;
    }
    const std::string fixtures = argv[1], good = argv[2], bad = argv[3];
    const char* const kPictures[] = {"mag/s05_edges_8x3_mag16x.mag", "pi/s07_text_123x77_pi16.pi",
                                     "p2/s07_text_123x77_p2ss_24.p2", "tga/t20_s07_text_123x77_rgb15_topleft.tga",
                                     "psd/P14_s08_checker_33x65_bitmap1_rle.psd"};
    std::vector<ZipMember> pics;
    for (size_t i = 0; i < sizeof kPictures / sizeof kPictures[0]; ++i) {
        std::string path = kPictures[i];
        Bytes data = ReadBytes(fixtures + "/" + path);
        if (data.empty()) {
            fprintf(stderr, "missing fixture %s\n", path.c_str());
            return 1;
        }
        pics.push_back(Member("a/" + path.substr(path.find('/') + 1), data, i % 2 ? 8 : 0));
    }
    Bytes picsZip = BuildZip(pics);
    Bytes lzh = ReadBytes(fixtures + "/archives/l10_sjis_lh5_lv2.lzh");
    Bytes mag = ReadBytes(fixtures + "/" + kPictures[0]);

    // A 3 x 2 picture with four levels of alpha, rows from the top.
    TgaImage tga;
    tga.width = 3;
    tga.height = 2;
    tga.depth = 32;
    tga.descriptor = 0x28;
    tga.pixels = {10, 20, 30, 255, 40, 50, 60, 128, 70, 80, 90, 0, 1, 2, 3, 64, 4, 5, 6, 255, 7, 8, 9, 200};
    Bytes bgra = {3, 0, 0, 0, 2, 0, 0, 0};
    bgra.insert(bgra.end(), tga.pixels.begin(), tga.pixels.end());

    // Archives four deep: deep.zip > l2.zip > l3.zip (with a picture) > l4.zip.
    Bytes l4 = BuildZip({Member("x.mag", mag)});
    Bytes l3 = BuildZip({Member("l4.zip", l4), Member("at3.mag", mag, 8)});
    Bytes l2 = BuildZip({Member("l3.zip", l3, 8)});

    Bytes giga = BuildZip({Member("giga.mag", Bytes(100, 0x41))});
    ClaimSize(&giga, 3000000000u);

    // Names as modern archivers write them, and a member as `zip` streams it.
    ZipMember utf8 = Member("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e/\xe7\xb5\xb5.mag", mag);  // 日本語/絵.mag
    utf8.flags = 0x0800;
    ZipMember field = Member("\x8a\x47.mag", mag, 8);  // 絵.mag in code page 932
    field.extra = UnicodePathExtra("\xe7\x94\xbb\xe5\x83\x8f/\xe7\xb5\xb5.mag", field.name);  // 画像/絵.mag
    ZipMember streamed = Member("z64.mag", mag, 8);
    streamed.streamed = true;
    // A harmless stored name whose Unicode Path field leads outside.
    ZipMember sneaky = Member("safe7.mag", mag);
    sneaky.extra = UnicodePathExtra("../evil7.mag", sneaky.name);
    ZipMember crc = Member("bad.mag", mag);
    crc.crc = 0xDEADBEEF;

    ZipMember broken = Member("broken.mag", mag, 8);
    broken.compressed = Bytes(64, 0xFF);  // block type 3: not Deflate

    bool ok = WriteBytes(good + "/zipped/pics.zip", picsZip) &&
              WriteBytes(good + "/zipped/nest.zip", BuildZip({Member("inner/pics.zip", picsZip, 8),
                                                              Member("sjis.lzh", lzh)})) &&
              WriteBytes(good + "/zipped/modern.zip", BuildZip({utf8, field, streamed})) &&
              WriteBytes(bad + "/crc.zip", BuildZip({crc})) &&
              WriteBytes(good + "/alpha.tga", BuildTga(tga)) && WriteBytes(good + "/alpha.tga.bgra", bgra) &&
              WriteBytes(bad + "/slip.zip",
                         BuildZip({Member("ok.mag", mag), Member("../evil1.mag", mag), Member("/evil2.mag", mag),
                                   Member("C:/evil3.mag", mag), Member("a/../../evil4.mag", mag),
                                   Member("..\\evil5.mag", mag), Member("CON.mag", mag),
                                   Member(std::string(300, 'x') + ".mag", mag), sneaky})) &&
              WriteBytes(bad + "/giga.zip", giga) && WriteBytes(bad + "/deep.zip", BuildZip({Member("l2.zip", l2)})) &&
              WriteBytes(bad + "/broken.zip", BuildZip({broken}));
    if (!ok) {
        fprintf(stderr, "cannot write the tree\n");
        return 1;
    }
    return 0;
}
