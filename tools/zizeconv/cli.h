// Shared pieces of the zizeconv command-line tool.
#pragma once

#include <string>
#include <vector>

#include "platform/utf8.h"

using Args = std::vector<std::wstring>;

// One sub-command: its name, a one-line usage, what it does, and its body,
// which gets the arguments after the command name and returns the exit status.
struct Command {
    const char* name;
    const char* usage;
    const char* help;
    int (*run)(const Args& args);
};

// Text for the terminal: Wine loses wide output to a pipe, so everything is
// printed as UTF-8.
void PrintLine(const std::string& utf8);
// Prints "zizeconv: " and the message on stderr.
void PrintError(const std::string& utf8);

int CmdInfo(const Args& args);
int CmdDecode(const Args& args);
int CmdList(const Args& args);
int CmdExtract(const Args& args);
// The decode forms that go through the loading pipeline: .bmp, and with
// alpha .bgra (or .png natively). Returns the exit status.
int DecodeThroughLoader(const std::wstring& in, const std::wstring& out, const std::string& ext, bool alpha);
int CmdThumb(const Args& args);
int CmdConvert(const Args& args);
