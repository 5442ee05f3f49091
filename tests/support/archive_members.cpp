#include "support/archive_members.h"

#include <cstdlib>
#include <sstream>

#include "support/fixtures.h"

std::vector<ArchiveMemberRow> ReadArchiveMembers()
{
    std::vector<ArchiveMemberRow> rows;
    std::vector<uint8_t> bytes;
    if (!ReadFixture("archives/MEMBERS.tsv", &bytes))
        return rows;
    std::stringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (header || line.empty()) {
            header = false;
            continue;
        }
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t'))
            cols.push_back(col);
        cols.resize(11);
        ArchiveMemberRow r;
        r.archive = cols[0];
        for (size_t i = 0; i + 1 < cols[1].size(); i += 2)
            r.nameBytes.push_back(static_cast<uint8_t>(std::strtoul(cols[1].substr(i, 2).c_str(), nullptr, 16)));
        r.kind = cols[3];
        r.size = static_cast<uint32_t>(std::strtoul(cols[4].c_str(), nullptr, 10));
        r.packedSize = static_cast<uint32_t>(std::strtoul(cols[5].c_str(), nullptr, 10));
        r.method = cols[6];
        r.sha256 = cols[9];
        rows.push_back(r);
    }
    return rows;
}
