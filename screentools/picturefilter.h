#pragma once

#include <string>
#include <vector>

namespace vornik {

// A picture format as the program registers it: a lower-case extension and
// the description the save dialog shows for it.
struct PictureFormat {
    std::string extension;
    std::string description;
};

// The picture formats in the order they are registered: the built-in
// metafile, enhanced metafile, icon and bitmap formats, then the JPEG
// encoder's two extensions.
const std::vector<PictureFormat>& registeredPictureFormats();

// The save dialog's filter for a list of formats: "description|mask" pairs
// joined by "|", one pair per format from the last registered to the first,
// preceded by an "All" pair that holds every mask when there is more than one
// format.
std::string buildPictureFilter(const std::vector<PictureFormat>& formats);

} // namespace vornik
