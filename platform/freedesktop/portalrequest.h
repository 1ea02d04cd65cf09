#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vornik {

// The object path on which the desktop portal answers a request that carried
// `handleToken`, for a caller whose unique bus name is `uniqueName` (":1.42"):
// the portal builds it from the name without its colon, dots turned into
// underscores, and the token. Knowing it before the call lets the caller
// listen for the answer before the portal can send it.
std::string portalRequestPath(std::string_view uniqueName, std::string_view handleToken);

// A rectangle in pixels; x and y are its top-left corner.
struct OutputRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const OutputRect&, const OutputRect&) = default;
};

// The part of a picture of the whole desktop that shows one output.
// `outputs` are every output's rectangle in the desktop's device pixels and
// `primary` the index of the wanted one. The picture covers the union of the
// outputs; where its size differs from the union's (the compositor renders
// the picture at another scale), the output's place is scaled alike. With one
// output, or none known, the whole picture is the output. The result lies
// inside the picture and is empty when the output is not on it.
OutputRect outputInPicture(int pictureWidth, int pictureHeight, const std::vector<OutputRect>& outputs,
                           std::size_t primary);

// The size, in its own device pixels, of the output whose top-left corner is
// at (x, y) among `outputs` (places in the desktop, sizes in device pixels),
// placed at (0, 0); empty where no output or more than one starts there. A portal
// that pictures every output at the largest output's scale enlarges the
// others: their part of its picture has more pixels than they have.
OutputRect deviceSizeOfOutputAt(const std::vector<OutputRect>& outputs, int x, int y);

} // namespace vornik
