// glibc's CP932 converter, one code or one character at a time: what the build asks for the
// code page 932 tables, and what a test compares them with. The program never uses it.
#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace tavo::cp932_tables {

class SystemConverter {
public:
    SystemConverter()
        : decoder_(iconv_open("UTF-16LE", "CP932")), encoder_(iconv_open("CP932", "UTF-16LE")) {}
    ~SystemConverter() {
        if (decoder_ != kNone)
            iconv_close(decoder_);
        if (encoder_ != kNone)
            iconv_close(encoder_);
    }
    SystemConverter(const SystemConverter&) = delete;
    SystemConverter& operator=(const SystemConverter&) = delete;

    // False when this system's iconv has no CP932.
    bool ok() const { return decoder_ != kNone && encoder_ != kNone; }

    // The character of one code; nothing when the converter refuses it or gives a character
    // outside the Basic Multilingual Plane (code page 932 has none).
    std::optional<char16_t> Decode(std::string_view code) const {
        const auto out = Convert(decoder_, code);
        if (!out || out->size() != 2)
            return std::nullopt;
        return static_cast<char16_t>(static_cast<unsigned char>((*out)[0]) |
                                     static_cast<unsigned char>((*out)[1]) << 8);
    }

    // The one- or two-byte code the converter writes for a character; nothing when it cannot.
    std::optional<std::string> Encode(char16_t ch) const {
        const char in[2] = {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
        auto out = Convert(encoder_, std::string_view(in, 2));
        if (!out || out->empty() || out->size() > 2)
            return std::nullopt;
        return out;
    }

private:
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

    // The whole input converted; nothing when the converter refuses any of it.
    static std::optional<std::string> Convert(iconv_t handle, std::string_view in) {
        iconv(handle, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char out[16];
        char* outPtr = out;
        size_t outLeft = sizeof out;
        if (iconv(handle, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            inLeft != 0)
            return std::nullopt;
        return std::string(out, sizeof out - outLeft);
    }

    iconv_t decoder_;
    iconv_t encoder_;
};

}  // namespace tavo::cp932_tables
