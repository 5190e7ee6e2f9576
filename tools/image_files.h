// Images dropped onto the public text: their size from the file header, and their names
// in the image folder "tavo-img" (the entry's date, "_", a running number, the extension).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavo {

struct ImageSize {
    unsigned width = 0;
    unsigned height = 0;
    bool operator==(const ImageSize&) const = default;
};

// The readers never fail towards the caller: on any problem, a read past the end of the
// file included, they return what they have read so far (0 for the rest).
ImageSize ReadGifSize(const std::filesystem::path& file);
ImageSize ReadJpegSize(const std::filesystem::path& file);
ImageSize ReadPngSize(const std::filesystem::path& file);

// The size by the file's extension (GIF, JPG, JPEG, PNG in any letter case); empty for
// files that are not such images.
std::optional<ImageSize> ReadImageSize(const std::filesystem::path& file);

// The highest running number of the day's images in the folder (0 when there is none, or
// no folder yet); nothing, with the error text, when the folder cannot be read.
// Names that start with the day but carry no number are not images of ours and are passed.
std::optional<int> HighestImageNumber(const std::filesystem::path& imageFolder,
                                      std::string_view dateKey, std::string* error);

// "20240105_3.JPG": the extension is kept as it is written, dot included.
std::string ImageFileName(std::string_view dateKey, int number, std::string_view extension);

}  // namespace tavo
