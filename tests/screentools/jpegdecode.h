#pragma once

// Decodes JPEG bytes with libjpeg's own decompressor, so that the tests judge
// the encoder's output by what a reader of the file sees.

#include <array>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace vornik::testing {

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
    bool progressive = false;
    bool arithmetic = false;
    bool sawJfifMarker = false;
    int jfifMajor = 0;
    int jfifMinor = 0;
    int densityUnit = -1;
    int xDensity = 0;
    int yDensity = 0;
    std::array<int, 3> hSampling{};
    std::array<int, 3> vSampling{};
    std::array<int, 3> quantTableNumber{};
    // Quantisation tables 0 and 1 in natural (row by row) order.
    std::array<std::array<int, 64>, 2> quantTables{};
    int restartInterval = -1;
    // Red, green, blue per pixel, top row first.
    std::vector<std::uint8_t> rgb;

    std::array<int, 3> pixel(int x, int y) const
    {
        const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[at], rgb[at + 1], rgb[at + 2]};
    }
};

namespace detail {
struct DecodeErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};
extern "C" inline void decodeErrorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<DecodeErrors*>(cinfo->err)->jump, 1);
}
inline bool decodeInto(const std::vector<std::uint8_t>* bytes, jpeg_decompress_struct* cinfo, DecodeErrors* errors,
                       DecodedJpeg* out)
{
    cinfo->err = jpeg_std_error(&errors->pub);
    errors->pub.error_exit = decodeErrorExit;
    cinfo->mem = nullptr;
    if (setjmp(errors->jump)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, bytes->data(), static_cast<unsigned long>(bytes->size()));
    jpeg_read_header(cinfo, TRUE);
    out->width = static_cast<int>(cinfo->image_width);
    out->height = static_cast<int>(cinfo->image_height);
    out->components = cinfo->num_components;
    out->colorSpace = cinfo->jpeg_color_space;
    out->progressive = cinfo->progressive_mode;
    out->arithmetic = cinfo->arith_code;
    out->sawJfifMarker = cinfo->saw_JFIF_marker;
    out->jfifMajor = cinfo->JFIF_major_version;
    out->jfifMinor = cinfo->JFIF_minor_version;
    out->densityUnit = cinfo->density_unit;
    out->xDensity = cinfo->X_density;
    out->yDensity = cinfo->Y_density;
    out->restartInterval = static_cast<int>(cinfo->restart_interval);
    for (int c = 0; c < 3 && c < cinfo->num_components; ++c) {
        out->hSampling[c] = cinfo->comp_info[c].h_samp_factor;
        out->vSampling[c] = cinfo->comp_info[c].v_samp_factor;
        out->quantTableNumber[c] = cinfo->comp_info[c].quant_tbl_no;
    }
    for (int t = 0; t < 2; ++t)
        if (cinfo->quant_tbl_ptrs[t])
            for (int k = 0; k < 64; ++k)
                out->quantTables[t][k] = cinfo->quant_tbl_ptrs[t]->quantval[k];
    cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);
    out->rgb.resize(static_cast<std::size_t>(out->width) * out->height * 3);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->rgb.data() + static_cast<std::size_t>(cinfo->output_scanline) * out->width * 3;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return true;
}
} // namespace detail

// Nothing when libjpeg cannot read the bytes.
inline std::optional<DecodedJpeg> decodeJpeg(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.empty())
        return std::nullopt;
    auto cinfo = std::make_unique<jpeg_decompress_struct>();
    auto errors = std::make_unique<detail::DecodeErrors>();
    auto out = std::make_unique<DecodedJpeg>();
    if (!detail::decodeInto(&bytes, cinfo.get(), errors.get(), out.get()))
        return std::nullopt;
    return *out;
}

// The example tables of the JPEG standard (Annex K), natural order.
inline constexpr std::array<int, 64> kAnnexKLuminance = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24, 40,  57,
    69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35, 55, 64,
    81, 104, 113, 92, 49, 64, 78,  87,  103, 121, 120, 101, 72, 92, 95, 98,  112, 100, 103, 99};
inline constexpr std::array<int, 64> kAnnexKChrominance = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// A table scaled for quality 90: each entry (e x 20 + 50) / 100, kept in 1..255.
inline std::array<int, 64> scaledToQuality90(const std::array<int, 64>& table)
{
    std::array<int, 64> result{};
    for (int k = 0; k < 64; ++k) {
        const int value = (table[k] * 20 + 50) / 100;
        result[k] = value < 1 ? 1 : value > 255 ? 255 : value;
    }
    return result;
}

inline std::vector<std::uint8_t> readFileBytes(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buffer[65536];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + got);
        std::fclose(file);
    }
    return bytes;
}

} // namespace vornik::testing
