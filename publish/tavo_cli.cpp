// tavo-cli: the diary's pages for scripts.
//
//   tavo-cli page [--folder DIR] --style NAME --from YYYY-MM-DD --to YYYY-MM-DD
//                 [--oldest-first] [--output FILE]
//   tavo-cli --help | --version
//
// Writes exactly the page the HTML output dialog's "出力" makes (code page 932, CR LF) to
// FILE or to standard output. Exit status: 0 done, 1 the page could not be made, 2 bad
// input. FILE is written only when the page is complete.
#include <unistd.h>
#include <QCoreApplication>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "common/program_location.h"
#include "core/date.h"
#include "core/product.h"
#include "core/text_file.h"
#include "page_generator.h"
#include "style.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadInput = 2;

constexpr char kUsage[] =
    "usage: tavo-cli page [--folder DIR] --style NAME --from YYYY-MM-DD --to YYYY-MM-DD "
    "[--oldest-first] [--output FILE]; tavo-cli --help lists the commands";

constexpr char kHelp[] =
    "usage: tavo-cli COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  page     write the HTML page of a range of days, as Tavo's HTML output makes it\n"
    "           (code page 932, CR LF), to FILE or to standard output:\n"
    "             tavo-cli page [--folder DIR] --style NAME --from YYYY-MM-DD\n"
    "                           --to YYYY-MM-DD [--oldest-first] [--output FILE]\n"
    "           --folder defaults to the diary folder Tavo itself would use.\n"
    "  help     show this text (also --help, -h)\n"
    "\n"
    "  --version  show the version\n"
    "\n"
    "Exit status: 0 done, 1 the page could not be made, 2 bad input.\n";

int Fail(int status, const std::string& message) {
    std::fprintf(stderr, "tavo-cli: %s\n", message.c_str());
    return status;
}

bool WriteAllToStdout(const std::string& bytes) {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

struct PageOptions {
    std::optional<std::string> folder, style, from, to, output;
    bool oldestFirst = false;
};

// Reads the options of "page"; false with the message for the user.
bool ParseOptions(int argc, char* argv[], PageOptions* options, std::string* message) {
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--oldest-first") {
            options->oldestFirst = true;
            continue;
        }
        std::optional<std::string>* value = nullptr;
        if (arg == "--style")
            value = &options->style;
        else if (arg == "--from")
            value = &options->from;
        else if (arg == "--to")
            value = &options->to;
        else if (arg == "--output")
            value = &options->output;
        else if (arg == "--folder")
            value = &options->folder;
        if (!value) {
            *message = "unknown option '" + std::string(arg) + "'; " + kUsage;
            return false;
        }
        if (i + 1 >= argc) {
            *message = std::string(arg) + " needs a value; " + kUsage;
            return false;
        }
        *value = argv[++i];
    }
    for (const auto& [value, name] :
         {std::pair{&options->style, "--style"}, std::pair{&options->from, "--from"},
          std::pair{&options->to, "--to"}}) {
        if (!*value) {
            *message = std::string(name) + " is required; " + kUsage;
            return false;
        }
    }
    return true;
}

int Page(int argc, char* argv[]) {
    PageOptions options;
    std::string message;
    if (!ParseOptions(argc, argv, &options, &message))
        return Fail(kBadInput, message);

    tavo::PageRequest request;
    request.styleName = *options.style;
    request.oldestFirst = options.oldestFirst;
    const auto start = tavo::ParseIsoDate(*options.from);
    const auto end = tavo::ParseIsoDate(*options.to);
    if (!start)
        return Fail(kBadInput, "--from is not a date of the form YYYY-MM-DD: " + *options.from);
    if (!end)
        return Fail(kBadInput, "--to is not a date of the form YYYY-MM-DD: " + *options.to);
    request.start = *start;
    request.end = *end;

    const std::filesystem::path folder =
        options.folder ? std::filesystem::path(*options.folder) : ResolveProgramFolder();
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        return Fail(kBadInput, "no diary folder " + folder.string());
    if (!std::filesystem::is_regular_file(tavo::StylePath(folder, request.styleName), ec))
        return Fail(kBadInput, "no style '" + request.styleName + "' in " +
                                   tavo::StyleFolder(folder).string());

    std::string page, error;
    if (!tavo::GeneratePage(folder, request, &page, &error))
        return Fail(kFailed, error);
    if (options.output) {
        if (!tavo::WriteFileAtomically(*options.output, page, &error))
            return Fail(kFailed, error);
    } else if (!WriteAllToStdout(page)) {
        return Fail(kFailed, "cannot write to standard output");
    }
    return kDone;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The application object tells where the program and the per-user data folder are.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo"));
    const std::string_view command = argc < 2 ? std::string_view() : argv[1];
    if (command == "page")
        return Page(argc, argv);
    if (argc == 2 && (command == "help" || command == "--help" || command == "-h"))
        return std::fputs(kHelp, stdout) < 0 ? kFailed : kDone;
    if (argc == 2 && command == "--version")
        return std::printf("tavo-cli (%s) %s\n", tavo::kProductName, tavo::kVersion) < 0 ? kFailed
                                                                                         : kDone;
    return Fail(kBadInput, kUsage);
}
