// The recovery write that runs about two seconds after the last keystroke, on a long day:
// a 100 KB public text, converted from the editor's text and written as the program does.
// It must not be felt while typing (goal: under 2 ms).
#include <benchmark/benchmark.h>

#include <QString>
#include <cstdlib>
#include <filesystem>

#include "common/ui_text.h"
#include "core/recovery.h"
#include "generated_diary.h"

namespace {

class Folder {
public:
    Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tavo-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

constexpr std::size_t kPublicBytes = 100 * 1024;

// Only the file: the entry's bytes are ready.
void BM_RecoveryWriteFile(benchmark::State& state) {
    const Folder folder;
    tavo::Entry entry = tavo::bench::MakeEntry(7, kPublicBytes, 2000);
    std::string error;
    for (auto _ : state) {
        entry.publicText += "\x82\xA0";
        if (!tavo::WriteRecovery(folder.path(), "20041231.txt", entry, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
}
BENCHMARK(BM_RecoveryWriteFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

// As the editor does it: the three texts converted to code page 932, then the file.
void BM_RecoveryWriteFromEditor(benchmark::State& state) {
    const Folder folder;
    const tavo::Entry generated = tavo::bench::MakeEntry(7, kPublicBytes, 2000);
    const QString title = FromCp932(generated.title);
    QString publicText = MemoFromCp932(generated.publicText);
    const QString privateText = MemoFromCp932(generated.privateText);
    std::string error;
    for (auto _ : state) {
        publicText += QChar(0x3042);  // あ
        const tavo::Entry entry{ToCp932(title).bytes, MemoToCp932(publicText).bytes,
                                MemoToCp932(privateText).bytes};
        if (!tavo::WriteRecovery(folder.path(), "20041231.txt", entry, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.counters["public_bytes"] = static_cast<double>(generated.publicText.size());
}
BENCHMARK(BM_RecoveryWriteFromEditor)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
