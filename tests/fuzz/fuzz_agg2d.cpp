// TAgg2D shapes with arbitrary coordinates, widths, colours and gamma on a
// small surface: nothing may crash, hang or write outside the clip box.
#include "platform/bitmap.h"
#include "screentools/agg2d.h"
#include "tests/fuzz/fuzzcheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Any bit pattern (NaN, infinities, denormals, 1e308) or, more often, a value
// near the surface where shapes actually get drawn.
double consumeCoordinate(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
    case 1:
        return input.PickValueInArray(
            {0.0, -0.0, 0.5, 1e9, -1e9, 1e300, -1e300, std::numeric_limits<double>::infinity(),
             -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
             std::numeric_limits<double>::denorm_min(), 32768.0, -32769.0});
    default:
        return input.ConsumeFloatingPointInRange(-100.0, 200.0);
    }
}

int consumeChannel(FuzzedDataProvider& input)
{
    return input.ConsumeBool() ? input.ConsumeIntegral<int>() : input.ConsumeIntegralInRange(0, 255);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    const int bits = input.ConsumeBool() ? 32 : 24;
    vornik::Bitmap bitmap(64, 48, bits, input.ConsumeBool());
    for (std::size_t i = 0; i < bitmap.sizeInBytes(); ++i)
        bitmap.bits()[i] = static_cast<std::uint8_t>(i * 7);
    vornik::Bitmap picture(input.ConsumeIntegralInRange(1, 70), input.ConsumeIntegralInRange(1, 50), 32);
    std::memset(picture.bits(), 0x5A, picture.sizeInBytes());

    vornik::TAgg2D agg;
    const bool flip = input.ConsumeBool();
    FUZZ_CHECK(agg.Attach(&bitmap, flip));
    vornik::PixelRect clip;
    clip.x1 = input.ConsumeIntegralInRange(-20, 80);
    clip.y1 = input.ConsumeIntegralInRange(-20, 80);
    clip.x2 = input.ConsumeIntegralInRange(-20, 80);
    clip.y2 = input.ConsumeIntegralInRange(-20, 80);
    agg.ClipBox(clip);
    const std::vector<std::uint8_t> before(bitmap.bits(), bitmap.bits() + bitmap.sizeInBytes());

    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        switch (input.ConsumeIntegralInRange(0, 6)) {
        case 0:
            agg.LineWidth(consumeCoordinate(input));
            break;
        case 1:
            agg.LineColor(consumeChannel(input), consumeChannel(input), consumeChannel(input), consumeChannel(input));
            break;
        case 2:
            if (input.ConsumeBool())
                agg.FillColor(consumeChannel(input), consumeChannel(input), consumeChannel(input),
                              consumeChannel(input));
            else
                agg.NoFill();
            break;
        case 3:
            agg.AntiAliasGamma(consumeCoordinate(input));
            break;
        case 4:
            agg.Line(consumeCoordinate(input), consumeCoordinate(input), consumeCoordinate(input),
                     consumeCoordinate(input));
            break;
        case 5:
            agg.Rectangle(consumeCoordinate(input), consumeCoordinate(input), consumeCoordinate(input),
                          consumeCoordinate(input));
            break;
        default:
            agg.CopyImage(&picture, consumeCoordinate(input), consumeCoordinate(input));
            break;
        }
    }

    FUZZ_CHECK(bitmap.width() == 64 && bitmap.height() == 48 && bitmap.bitsPerPixel() == bits);
    FUZZ_CHECK(bitmap.sizeInBytes() == before.size());
    FUZZ_CHECK(agg.width() == 64 && agg.height() == 48);
    // Every byte outside the clip box (in surface rows, which run upwards when
    // flipped) is as it was, row padding included.
    const int bytesPerPixel = bits / 8;
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* now = bitmap.scanLine(y);
        const std::uint8_t* was = before.data() + (now - bitmap.bits());
        const int sy = flip ? bitmap.height() - 1 - y : y;
        for (std::ptrdiff_t x = 0; x < bitmap.stride(); ++x) {
            const int px = static_cast<int>(x / bytesPerPixel);
            const bool inside = px < bitmap.width() && px >= clip.x1 && px < clip.x2 && sy >= clip.y1 && sy < clip.y2;
            if (!inside)
                FUZZ_CHECK(now[x] == was[x]);
        }
    }
    return 0;
}
