#include "screentools/picturefilter.h"

namespace vornik {

const std::vector<PictureFormat>& registeredPictureFormats()
{
    static const std::vector<PictureFormat> formats = {
        {"wmf", "Metafiles"},
        {"emf", "Enhanced Metafiles"},
        {"ico", "Icons"},
        {"bmp", "Bitmaps"},
        {"jpeg", "JPEG Image File"},
        {"jpg", "JPEG Image File"},
    };
    return formats;
}

std::string buildPictureFilter(const std::vector<PictureFormat>& formats)
{
    std::string entries;
    std::string masks;
    for (auto format = formats.rbegin(); format != formats.rend(); ++format) {
        if (!entries.empty())
            entries += '|';
        entries += format->description + " (*." + format->extension + ")|*." + format->extension;
        if (!masks.empty())
            masks += ';';
        masks += "*." + format->extension;
    }
    if (formats.size() > 1)
        return "All (" + masks + ")|" + masks + "|" + entries;
    return entries;
}

} // namespace vornik
