// zizeconv info: what kind of file each argument is.
#include "cli.h"
#include "image/classify.h"
#include "platform/file.h"

namespace {

// Why OpenAndClassify refused a file, for the message.
std::string RefusalReason(const std::wstring& path)
{
    ScopedFile file(FileOpenRead(path.c_str()));
    if (!file.valid())
        return "cannot open the file";
    if (FileSize(file.get()) < static_cast<int64_t>(kClassifyHeaderSize))
        return "shorter than 17 bytes";
    return "not a kind of file Zize reads";
}

}  // namespace

int CmdInfo(const Args& args)
{
    if (args.empty()) {
        PrintError("info: no file given");
        return 2;
    }
    int status = 0;
    for (const std::wstring& path : args) {
        FileKind kind = KindNone;
        ScopedFile file(OpenAndClassify(path.c_str(), &kind));
        if (!file.valid()) {
            PrintError(WideToUtf8(path) + ": " + RefusalReason(path));
            status = 1;
            continue;
        }
        PrintLine(WideToUtf8(path) + ": " + FileKindName(kind));
    }
    return status;
}
