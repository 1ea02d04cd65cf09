#include "screentools/jpegencoder.h"

#include "platform/error.h"
#include "tests/screentools/jpegdecode.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vornik {
namespace {

using testing::decodeJpeg;
using testing::DecodedJpeg;

// A 24-bit bitmap filled by fn(x, y) -> 0x00RRGGBB.
template <typename Fn>
Bitmap makeBitmap24(int width, int height, bool bottomUp, Fn fn)
{
    Bitmap bitmap(width, height, 24, bottomUp);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = fn(x, y);
            row[3 * x] = std::uint8_t(rgb);           // blue
            row[3 * x + 1] = std::uint8_t(rgb >> 8);  // green
            row[3 * x + 2] = std::uint8_t(rgb >> 16); // red
        }
    }
    return bitmap;
}

std::uint32_t noise(int x, int y)
{
    std::uint32_t h = std::uint32_t(x) * 73856093u ^ std::uint32_t(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    return h & 0xFFFFFF;
}

struct SizeCase {
    int width;
    int height;
    bool bottomUp;
};

void PrintTo(const SizeCase& size, std::ostream* out)
{
    *out << size.width << "x" << size.height << (size.bottomUp ? " bottom-up" : " top-down");
}

class JpegFileProperties : public ::testing::TestWithParam<SizeCase> {};

TEST_P(JpegFileProperties, IsBaselineJfifWithTheStatedSettings)
{
    const SizeCase size = GetParam();
    const auto bytes = encodeJpeg(makeBitmap24(size.width, size.height, size.bottomUp, noise));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    const auto decoded = decodeJpeg(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, size.width);
    EXPECT_EQ(decoded->height, size.height);
    EXPECT_EQ(decoded->components, 3);
    EXPECT_EQ(decoded->colorSpace, JCS_YCbCr);
    EXPECT_FALSE(decoded->progressive);
    EXPECT_FALSE(decoded->arithmetic);
    EXPECT_EQ(decoded->restartInterval, 0);
    EXPECT_TRUE(decoded->sawJfifMarker);
    EXPECT_EQ(decoded->jfifMajor, 1);
    EXPECT_EQ(decoded->jfifMinor, 1);
    EXPECT_EQ(decoded->densityUnit, 0);
    EXPECT_EQ(decoded->xDensity, 1);
    EXPECT_EQ(decoded->yDensity, 1);
    EXPECT_EQ(decoded->hSampling, (std::array<int, 3>{2, 1, 1}));
    EXPECT_EQ(decoded->vSampling, (std::array<int, 3>{2, 1, 1}));
    EXPECT_EQ(decoded->quantTableNumber, (std::array<int, 3>{0, 1, 1}));
    EXPECT_EQ(decoded->quantTables[0], testing::scaledToQuality90(testing::kAnnexKLuminance));
    EXPECT_EQ(decoded->quantTables[1], testing::scaledToQuality90(testing::kAnnexKChrominance));

    // A baseline frame is marked SOF0 (FF C0); no other frame type may occur.
    bool sof0 = false;
    for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
        if (bytes[i] != 0xFF)
            continue;
        const std::uint8_t marker = bytes[i + 1];
        if (marker == 0xC0)
            sof0 = true;
        EXPECT_FALSE(marker >= 0xC1 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            << "frame marker " << int(marker);
        if (marker == 0xDA)
            break; // entropy-coded data follows
    }
    EXPECT_TRUE(sof0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, JpegFileProperties,
                         ::testing::Values(SizeCase{1, 1, true}, SizeCase{1, 37, true}, SizeCase{37, 1, false},
                                           SizeCase{16, 16, true}, SizeCase{17, 9, false},
                                           SizeCase{640, 3, true}),
                         [](const ::testing::TestParamInfo<SizeCase>& param) {
                             return std::to_string(param.param.width) + "x" + std::to_string(param.param.height) +
                                    (param.param.bottomUp ? "BottomUp" : "TopDown");
                         });

TEST(JpegEncoder, KeepsColoursAndRowOrder)
{
    // Solid 16x16 blocks, one colour each, stacked from the top; large enough
    // that the centre of each block is free of chroma bleeding.
    const std::vector<std::uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080,
                                                0xFFFF00, 0x00FFFF};
    for (bool bottomUp : {true, false}) {
        const Bitmap bitmap = makeBitmap24(16, 16 * int(colours.size()), bottomUp,
                                           [&](int, int y) { return colours[std::size_t(y / 16)]; });
        const auto decoded = decodeJpeg(encodeJpeg(bitmap));
        ASSERT_TRUE(decoded);
        for (std::size_t i = 0; i < colours.size(); ++i) {
            const auto got = decoded->pixel(8, int(i) * 16 + 8);
            const std::array<int, 3> want = {int(colours[i] >> 16 & 0xFF), int(colours[i] >> 8 & 0xFF),
                                             int(colours[i] & 0xFF)};
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(got[std::size_t(c)], want[std::size_t(c)], 6)
                    << "block " << i << " channel " << c << (bottomUp ? " bottom-up" : " top-down");
        }
    }
}

// The same pixels through libjpeg directly, with the settings the files
// promise; the encoder must give the very same bytes.
std::vector<std::uint8_t> referenceEncode(const Bitmap& bitmap, J_DCT_METHOD dct)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(bitmap.width());
    cinfo.image_height = JDIMENSION(bitmap.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.dct_method = dct;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(std::size_t(bitmap.width()) * 3);
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            row[std::size_t(3 * x)] = bitmap.scanLine(y)[3 * x + 2];
            row[std::size_t(3 * x + 1)] = bitmap.scanLine(y)[3 * x + 1];
            row[std::size_t(3 * x + 2)] = bitmap.scanLine(y)[3 * x];
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

TEST(JpegEncoder, UsesTheFloatingPointDct)
{
    // Large enough to need several 4096-byte output buffers.
    const Bitmap bitmap = makeBitmap24(301, 203, true, noise);
    const auto ours = encodeJpeg(bitmap);
    ASSERT_GT(ours.size(), 3 * 4096u);
    EXPECT_EQ(ours, referenceEncode(bitmap, JDCT_FLOAT));
    EXPECT_NE(ours, referenceEncode(bitmap, JDCT_ISLOW));
}

TEST(JpegEncoder, EmptyBitmapGivesNoBytes)
{
    EXPECT_TRUE(encodeJpeg(Bitmap(0, 10, 24, true)).empty());
    EXPECT_TRUE(encodeJpeg(Bitmap(10, 0, 24, true)).empty());
}

TEST(JpegEncoder, RejectsOtherPixelFormats)
{
    EXPECT_THROW(encodeJpeg(Bitmap(4, 4, 32)), std::invalid_argument);
}

std::string jpegErrorOf(const Bitmap& bitmap, std::size_t limit)
{
    try {
        encodeJpeg(bitmap, limit);
    } catch (const Error& error) {
        return error.what();
    }
    return "no error";
}

TEST(JpegEncoder, FatalErrorsCarryLibjpegsMessageCode)
{
    const Bitmap normal = makeBitmap24(200, 200, true, noise);
    const std::size_t fullSize = encodeJpeg(normal).size();
    struct Case {
        const char* name;
        Bitmap bitmap;
        std::size_t limit;
        const char* message;
    };
    const std::vector<Case> cases = {
        // The first full buffer cannot be kept.
        {"append of a full buffer fails", normal, 100, "JPEG error #37"},
        // Everything fits but the rest of the last buffer.
        {"final append fails", normal, fullSize - 1, "JPEG error #37"},
        // libjpeg's own limit on the image size.
        {"image too wide", Bitmap(70000, 1, 24, true), std::numeric_limits<std::size_t>::max(),
         "JPEG error #41"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jpegErrorOf(c.bitmap, c.limit), c.message) << c.name;

    // The failures leave nothing behind that spoils the next encoding.
    EXPECT_EQ(encodeJpeg(normal).size(), fullSize);
    EXPECT_EQ(encodeJpeg(normal, fullSize).size(), fullSize);
}

} // namespace
} // namespace vornik
