#include "arcwin/archive_layout.h"

#include <algorithm>

ArchiveSize ArchiveClientSize(uint32_t count, const ArchiveMetrics& m)
{
    // Five icons a row; more than 25 members scroll.
    uint32_t w = 5 * m.spacingX;
    uint32_t h = 5 * m.spacingY;
    if (count < 5) {
        w = count * m.spacingX;
        h = m.spacingY;
    } else if (count <= 25) {
        h = ((count - 1) / 5 + 1) * m.spacingY;
    }
    return {std::min(w, m.workWidth), std::min(h, m.workHeight)};
}

ArchiveSize ArchiveWindowSize(uint32_t count, const ArchiveMetrics& m)
{
    const ArchiveSize client = ArchiveClientSize(count, m);
    uint32_t w = client.width + m.frameWidth;
    if (count >= 26)
        w += m.vScrollWidth;
    return {w + 24, client.height + m.frameHeight + m.statusHeight};
}
