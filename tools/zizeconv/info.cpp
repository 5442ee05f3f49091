// zizeconv info: what kind of file each argument is.
#include "cli.h"
#include "image/classify.h"
#include "own_picture.h"
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

// For the own formats: the decoder type, the size and the depth, as
// ", decoder MAG, 640 x 400, depth 4"; what is missing is said instead.
std::string OwnFormatDetails(const std::wstring& path)
{
    OwnPicture picture;
    std::string why = LoadOwnPicture(path, true, &picture);
    std::string text = std::string(", decoder ") + DecoderTypeName(picture.type);
    if (picture.sized)
        text += ", " + std::to_string(picture.width) + " x " + std::to_string(picture.height);
    if (picture.depth > 0)
        text += ", depth " + std::to_string(picture.depth);
    else
        text += " (" + why + ")";
    return text;
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
        std::string line = WideToUtf8(path) + ": " + FileKindName(kind);
        if (kind >= KindTga && kind <= 12)
            line += OwnFormatDetails(path);
        PrintLine(line);
    }
    return status;
}
