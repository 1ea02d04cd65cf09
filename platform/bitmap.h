#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornik {

// A device-independent bitmap as the drawing and capture code sees it: rows of
// 24- or 32-bit pixels, bytes in the order blue, green, red (and a fourth byte
// at 32 bits). Rows are padded to four bytes. A bitmap may keep its rows
// bottom-up in memory, as Windows DIBs do; scanLine(0) is always the top row.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height, int bitsPerPixel, bool bottomUp = false) { reset(width, height, bitsPerPixel, bottomUp); }

    // A bitmap of the given shape, all bytes zero.
    void reset(int width, int height, int bitsPerPixel, bool bottomUp = false)
    {
        reshape(width, height, bitsPerPixel, bottomUp);
        std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t(0));
    }

    // As reset, for a caller about to overwrite every pixel: the memory is
    // kept when it is large enough, and what it holds is left as it was.
    void reshape(int width, int height, int bitsPerPixel, bool bottomUp = false)
    {
        m_width = width > 0 ? width : 0;
        m_height = height > 0 ? height : 0;
        m_bitsPerPixel = bitsPerPixel;
        m_bottomUp = bottomUp;
        m_stride = ((static_cast<std::ptrdiff_t>(m_width) * bitsPerPixel + 31) / 32) * 4;
        m_bytes.resize(static_cast<std::size_t>(m_stride) * static_cast<std::size_t>(m_height));
    }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bitsPerPixel; }
    bool bottomUp() const { return m_bottomUp; }
    bool empty() const { return m_width == 0 || m_height == 0; }
    // Distance in bytes between the starts of two consecutive memory rows.
    std::ptrdiff_t stride() const { return m_stride; }

    std::uint8_t* scanLine(int row) { return m_bytes.data() + memoryRow(row) * m_stride; }
    const std::uint8_t* scanLine(int row) const { return m_bytes.data() + memoryRow(row) * m_stride; }

    std::uint8_t* bits() { return m_bytes.data(); }
    const std::uint8_t* bits() const { return m_bytes.data(); }
    std::size_t sizeInBytes() const { return m_bytes.size(); }

    // 32-bit pixel as 0xAARRGGBB (its four bytes read little-endian).
    std::uint32_t pixel32(int x, int y) const
    {
        const std::uint8_t* p = scanLine(y) + static_cast<std::ptrdiff_t>(x) * 4;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
    }
    void setPixel32(int x, int y, std::uint32_t argb)
    {
        std::uint8_t* p = scanLine(y) + static_cast<std::ptrdiff_t>(x) * 4;
        p[0] = std::uint8_t(argb);
        p[1] = std::uint8_t(argb >> 8);
        p[2] = std::uint8_t(argb >> 16);
        p[3] = std::uint8_t(argb >> 24);
    }

private:
    std::ptrdiff_t memoryRow(int row) const { return m_bottomUp ? m_height - 1 - row : row; }

    int m_width = 0;
    int m_height = 0;
    int m_bitsPerPixel = 32;
    bool m_bottomUp = false;
    std::ptrdiff_t m_stride = 0;
    std::vector<std::uint8_t> m_bytes;
};

} // namespace vornik
