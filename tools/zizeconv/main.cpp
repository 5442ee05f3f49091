// zizeconv: the command-line face of Zize's portable core.
#include <cstring>

#include "cli.h"

namespace {

const Command kCommands[] = {
    {"info", "info FILE...", "print each file's kind (KindMag, KindZip, ...)", CmdInfo},
    {"decode", "decode FILE OUT [--alpha]",
     "decode a picture of Zize's own formats to OUT (.bgr, .bmp, or .png natively); --alpha: the 32-bit form as .bgra (or .png natively)",
     CmdDecode},
    {"thumb", "thumb FILE OUT", "write the 80 x 80 thumbnail of an own-format picture as OUT.bgr or OUT.bmp", CmdThumb},
    {"list", "list ARCHIVE",
     "print a ZIP or LZH archive's members: index, method, compressed size, size, stored checksum (CRC-32 or CRC-16, hex), name",
     CmdList},
    {"convert", "convert [OPTIONS] SOURCE... OUTDIR",
     "convert every picture in files, folders and ZIP/LZH archives to PNG under OUTDIR (convert --help for more)",
     CmdConvert},
    {"extract", "extract ARCHIVE INDEX OUT [--head N] [--keep-damaged]",
     "write member INDEX to OUT (--head: its first N bytes, reading at most 768 compressed bytes, unchecked); a whole member whose checksum does not match fails with \"checksum mismatch\" unless --keep-damaged keeps its bytes",
     CmdExtract},
};

void PrintHelp()
{
    PrintLine("usage: zizeconv COMMAND [ARGUMENTS]");
    PrintLine("commands:");
    for (const Command& c : kCommands)
        PrintLine(std::string("  ") + c.usage + "\n      " + c.help);
    PrintLine("  --help\n      print this text");
}

int Run(const Args& all)
{
    if (all.empty() || all[0] == L"--help" || all[0] == L"-h" || all[0] == L"help") {
        PrintHelp();
        return all.empty() ? 2 : 0;
    }
    for (const Command& c : kCommands) {
        if (Utf8ToWide(c.name) == all[0])
            return c.run(Args(all.begin() + 1, all.end()));
    }
    PrintError("unknown command '" + WideToUtf8(all[0]) + "' (try --help)");
    return 2;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
    Args args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return Run(args);
}
#else
int main(int argc, char** argv)
{
    Args args;
    for (int i = 1; i < argc; ++i)
        args.push_back(Utf8ToWide(argv[i]));
    return Run(args);
}
#endif
