// `tavo_style_files OUTDIR`: writes the built-in styles as files, for the package to install
// beside the program. The bytes are the ones the program itself writes into a diary.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/text_file.h"
#include "style.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavo_style_files OUTDIR\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        std::fprintf(stderr, "tavo_style_files: %s: %s\n", folder.c_str(), ec.message().c_str());
        return 1;
    }
    const struct {
        const char* file;
        std::vector<std::string> lines;
    } styles[] = {
        {"demo.style", tavo::DefaultStyleLines()},
        {"modern.style", tavo::ModernStyleLines()},
    };
    for (const auto& style : styles) {
        std::string error;
        if (!tavo::WriteLines(folder / style.file, style.lines, &error)) {
            std::fprintf(stderr, "tavo_style_files: %s\n", error.c_str());
            return 1;
        }
    }
    return 0;
}
