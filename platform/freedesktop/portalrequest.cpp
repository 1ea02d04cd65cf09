#include "platform/freedesktop/portalrequest.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace vornik {

std::string portalRequestPath(std::string_view uniqueName, std::string_view handleToken)
{
    if (!uniqueName.empty() && uniqueName.front() == ':')
        uniqueName.remove_prefix(1);
    std::string path = "/org/freedesktop/portal/desktop/request/";
    for (const char c : uniqueName)
        path += c == '.' ? '_' : c;
    path += '/';
    path += handleToken;
    return path;
}

namespace {

// One edge of the output, moved from desktop pixels to picture pixels and
// kept on the picture.
int toPicture(long long desktop, long long origin, double scale, int limit)
{
    const double at = std::round((static_cast<double>(desktop - origin)) * scale);
    return static_cast<int>(std::clamp(at, 0.0, static_cast<double>(limit)));
}

} // namespace

OutputRect outputInPicture(int pictureWidth, int pictureHeight, const std::vector<OutputRect>& outputs,
                           std::size_t primary)
{
    const OutputRect whole{0, 0, std::max(pictureWidth, 0), std::max(pictureHeight, 0)};
    if (outputs.size() <= 1 || primary >= outputs.size())
        return whole;
    long long left = LLONG_MAX, top = LLONG_MAX, right = LLONG_MIN, bottom = LLONG_MIN;
    for (const OutputRect& output : outputs) {
        if (output.empty())
            continue;
        left = std::min<long long>(left, output.x);
        top = std::min<long long>(top, output.y);
        right = std::max<long long>(right, static_cast<long long>(output.x) + output.width);
        bottom = std::max<long long>(bottom, static_cast<long long>(output.y) + output.height);
    }
    const OutputRect& wanted = outputs[primary];
    if (wanted.empty() || right <= left || bottom <= top)
        return {};
    const double scaleX = static_cast<double>(pictureWidth) / static_cast<double>(right - left);
    const double scaleY = static_cast<double>(pictureHeight) / static_cast<double>(bottom - top);
    const int x1 = toPicture(wanted.x, left, scaleX, pictureWidth);
    const int x2 = toPicture(static_cast<long long>(wanted.x) + wanted.width, left, scaleX, pictureWidth);
    const int y1 = toPicture(wanted.y, top, scaleY, pictureHeight);
    const int y2 = toPicture(static_cast<long long>(wanted.y) + wanted.height, top, scaleY, pictureHeight);
    if (x2 <= x1 || y2 <= y1)
        return {};
    return {x1, y1, x2 - x1, y2 - y1};
}

OutputRect deviceSizeOfOutputAt(const std::vector<OutputRect>& outputs, int x, int y)
{
    OutputRect found;
    int matches = 0;
    for (const OutputRect& output : outputs)
        if (output.x == x && output.y == y && !output.empty()) {
            found = {0, 0, output.width, output.height};
            ++matches;
        }
    return matches == 1 ? found : OutputRect{};
}

} // namespace vornik
