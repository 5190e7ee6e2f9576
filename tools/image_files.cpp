#include "image_files.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <system_error>

#include "core/text_file.h"

namespace tavo {
namespace {

// Reads single bytes; every read after the end of the file fails, and the readers stop.
class ByteReader {
public:
    explicit ByteReader(const std::filesystem::path& file) : in_(file, std::ios::binary) {}

    bool Byte(unsigned* value) {
        const int c = in_.get();
        if (c == std::char_traits<char>::eof())
            return false;
        *value = static_cast<unsigned>(c);
        return true;
    }
    bool Skip(unsigned count) {
        unsigned ignored = 0;
        for (unsigned i = 0; i < count; ++i)
            if (!Byte(&ignored))
                return false;
        return true;
    }
    bool BigEndian16(unsigned* value) {
        unsigned high = 0, low = 0;
        if (!Byte(&high) || !Byte(&low))
            return false;
        *value = high << 8 | low;
        return true;
    }
    bool LittleEndian16(unsigned* value) {
        unsigned low = 0, high = 0;
        if (!Byte(&low) || !Byte(&high))
            return false;
        *value = high << 8 | low;
        return true;
    }
    bool BigEndian32(unsigned* value) {
        unsigned high = 0, low = 0;
        if (!BigEndian16(&high) || !BigEndian16(&low))
            return false;
        *value = high << 16 | low;
        return true;
    }
    bool Expect(char expected) {
        unsigned value = 0;
        return Byte(&value) && value == static_cast<unsigned char>(expected);
    }

private:
    std::ifstream in_;
};

bool IsFrameHeader(unsigned marker) {
    switch (marker) {
        case 0xC0:
        case 0xC1:
        case 0xC2:
        case 0xC3:
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCD:
        case 0xCE:
        case 0xCF:
            return true;
        default:
            return false;
    }
}

std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

ImageSize ReadGifSize(const std::filesystem::path& file) {
    ImageSize size;
    ByteReader in(file);
    if (!in.Expect('G') || !in.Expect('I') || !in.Expect('F') || !in.Skip(3))
        return size;
    if (in.LittleEndian16(&size.width))
        in.LittleEndian16(&size.height);
    return size;
}

ImageSize ReadPngSize(const std::filesystem::path& file) {
    ImageSize size;
    ByteReader in(file);
    if (!in.Skip(1) || !in.Expect('P') || !in.Expect('N') || !in.Expect('G') || !in.Skip(12))
        return size;
    if (in.BigEndian32(&size.width))
        in.BigEndian32(&size.height);
    return size;
}

ImageSize ReadJpegSize(const std::filesystem::path& file) {
    ImageSize size;
    ByteReader in(file);
    unsigned b = 0;
    // The start of the image: 0xFF, any number of further 0xFF, then 0xD8.
    for (;;) {
        if (!in.Byte(&b))
            return size;
        if (b != 0xFF)
            continue;
        do {
            if (!in.Byte(&b))
                return size;
        } while (b == 0xFF);
        if (b == 0xD8)
            break;
    }
    for (;;) {
        if (!in.Byte(&b))
            return size;
        if (b != 0xFF)
            continue;
        unsigned marker = 0;
        if (!in.Byte(&marker))
            return size;
        if (marker == 0xD8)
            continue;
        if (marker != 0x01 && (marker < 0xC0 || marker > 0xFE))
            return size;
        unsigned length = 0;
        if (!in.BigEndian16(&length))
            return size;
        if (IsFrameHeader(marker)) {
            if (in.Skip(1) && in.BigEndian16(&size.height))
                in.BigEndian16(&size.width);
            return size;
        }
        if (!in.Skip(length >= 2 ? length - 2 : 0))
            return size;
    }
}

std::optional<ImageSize> ReadImageSize(const std::filesystem::path& file) {
    const std::string extension = UpperCase(file.extension().string());
    if (extension == ".GIF")
        return ReadGifSize(file);
    if (extension == ".JPG" || extension == ".JPEG")
        return ReadJpegSize(file);
    if (extension == ".PNG")
        return ReadPngSize(file);
    return std::nullopt;
}

std::optional<int> HighestImageNumber(const std::filesystem::path& imageFolder,
                                      std::string_view dateKey, std::string* error) {
    int highest = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(imageFolder, ec);
    if (ec == std::errc::no_such_file_or_directory)
        return 0;  // no image yet
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, dateKey.size(), dateKey) != 0)
            continue;
        const std::string stem = name.substr(0, name.rfind('.'));
        // What follows the date and "_".
        if (stem.size() <= dateKey.size() + 1)
            continue;
        const std::string_view digits = std::string_view(stem).substr(dateKey.size() + 1);
        int number = 0;
        const auto [ptr, parseError] =
            std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (parseError == std::errc() && ptr == digits.data() + digits.size())
            highest = std::max(highest, number);
    }
    if (ec) {
        // A number taken from part of the folder could name an image that is already there.
        *error = FileErrorText("フォルダを読めません", imageFolder, ec.value());
        return std::nullopt;
    }
    return highest;
}

std::string ImageFileName(std::string_view dateKey, int number, std::string_view extension) {
    return std::string(dateKey) + "_" + std::to_string(number) + std::string(extension);
}

}  // namespace tavo
