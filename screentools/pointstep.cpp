#include "screentools/pointstep.h"

#include <algorithm>

namespace vornik {

PixelPoint steppedPoint(PixelPoint from, int dx, int dy, bool coarse, int width, int height)
{
    if (width <= 0 || height <= 0)
        return from;
    const long long step = coarse ? 10 : 1;
    const auto clamped = [](long long v, int size) { return static_cast<int>(std::clamp(v, 0LL, size - 1LL)); };
    return {clamped(from.x + dx * step, width), clamped(from.y + dy * step, height)};
}

void PointerEchoes::sent(PixelPoint to, Clock::time_point now)
{
    m_sent.push_back({to, now});
}

bool PointerEchoes::isEcho(PixelPoint at, Clock::time_point now)
{
    while (!m_sent.empty() && now - m_sent.front().when > m_lifetime)
        m_sent.pop_front();
    const auto match = std::find_if(m_sent.begin(), m_sent.end(), [&](const Note& n) { return n.to == at; });
    if (match == m_sent.end()) {
        m_sent.clear();
        return false;
    }
    m_sent.erase(m_sent.begin(), match + 1);
    return true;
}

} // namespace vornik
