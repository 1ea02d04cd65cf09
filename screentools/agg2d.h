#pragma once

#include "platform/bitmap.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vornik {

// A rectangle of whole pixels, half-open: it holds the pixels x1 <= x < x2 and
// y1 <= y < y2. Used for clip boxes and for the parts of a picture that a
// redraw changed.
struct PixelRect {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;

    bool empty() const { return x2 <= x1 || y2 <= y1; }
    long long area() const { return empty() ? 0 : static_cast<long long>(x2 - x1) * (y2 - y1); }
    bool operator==(const PixelRect&) const = default;
};

// The thin vector drawing layer the overlay goes through, built from AGG's
// rendering buffer, pixel formats, base renderer, scanline rasterizer, path
// storage, affine transformation and stroke converter. It draws straight into
// the memory of a Bitmap that the caller owns and keeps alive while attached.
//
// Blending is our own integer source-over, not AGG's rounding: with t the
// coverage after the gamma table and a the colour's alpha,
//   alpha = (a * (t + 1)) >> 8
//   channel p -> ((c - p) * alpha + p * 256) >> 8
//   fourth byte A -> alpha + A - ((A * alpha + 255) >> 8)
// and alpha = 255 stores the colour with a fourth byte of 255.
//
// The layer never fails loudly: operations on a detached layer, non-finite
// coordinates and impossible sources are ignored, and coordinates far outside
// the surface are clipped before they reach AGG's fixed-point rasterizer.
class TAgg2D {
  public:
    TAgg2D();
    ~TAgg2D();
    TAgg2D(const TAgg2D&) = delete;
    TAgg2D& operator=(const TAgg2D&) = delete;

    // Attaches the layer to a 24- or 32-bit bitmap and resets the drawing
    // state. Surface row 0 is the bitmap's top row with flip = false, its
    // bottom row with flip = true. Returns false, leaving everything as it
    // was, for a missing or empty bitmap, another pixel format, or a bitmap
    // wider than the rasterizer's 16-bit span coordinates can address.
    bool Attach(Bitmap* bitmap, bool flip);
    // Attaches the layer to 32-bit pixels it does not own, such as a
    // window's own image: rows of width pixels, top row first, stride bytes
    // apart. Resets the drawing state as Attach does.
    bool AttachPixels(std::uint8_t* firstRow, int width, int height, std::ptrdiff_t stride);
    void Detach();
    bool attached() const;

    // Stores the colour into every pixel of the surface, without blending and
    // regardless of the clip box.
    void ClearAll(int r, int g, int b, int a = 255);
    // Copies a 32-bit bitmap byte for byte with its top-left pixel at (x, y),
    // clipped to the clip box. Other sources are ignored. On a 24-bit surface
    // the fourth byte is dropped.
    void CopyImage(const Bitmap* bitmap, double x, double y);

    void AntiAliasGamma(double g);
    void LineWidth(double w);
    void LineColor(int r, int g, int b, int a = 255);
    void FillColor(int r, int g, int b, int a = 255);
    void NoFill();
    void Line(double x1, double y1, double x2, double y2);
    void Rectangle(double x1, double y1, double x2, double y2);

    // Confines CopyImage and all shape drawing to the given pixels, clipped to
    // the surface. Attach resets it to the whole surface. A narrower clip
    // changes which pixels are written, never the value any written pixel
    // gets: shapes are cut only beyond the reach of their outline.
    void ClipBox(const PixelRect& box);
    // The same for several boxes at once; they must not overlap, since each
    // shape is cut to each box and rendered into it separately.
    void ClipBoxes(const std::vector<PixelRect>& boxes);

    // Read-back of the state, for callers that need to know what is set.
    double antiAliasGamma() const;
    double lineWidth() const;
    std::uint32_t lineColor() const; // 0xAABBGGRR
    std::uint32_t fillColor() const; // 0xAABBGGRR
    unsigned gammaEntry(unsigned coverage) const;
    int width() const;
    int height() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace vornik
