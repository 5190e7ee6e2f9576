#include "main_window/recovery_writer.h"

#include <algorithm>
#include <chrono>

#include "core/recovery.h"

namespace {

tavo::RecoveryCadence::Time Now() {
    return std::chrono::steady_clock::now();
}

QString PathText(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string());
}

}  // namespace

RecoveryWriter::RecoveryWriter(std::filesystem::path programFolder, EditedTexts texts,
                               Report report, QObject* parent)
    : QObject(parent),
      programFolder_(std::move(programFolder)),
      texts_(std::move(texts)),
      report_(std::move(report)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { write(); });
}

void RecoveryWriter::setFallbackRoot(std::filesystem::path root) {
    fallbackRoot_ = std::move(root);
}

void RecoveryWriter::setDelays(int idleMs, int longestMs) {
    cadence_.setDelays(std::chrono::milliseconds(idleMs), std::chrono::milliseconds(longestMs));
    schedule();
}

void RecoveryWriter::edited(const QString& fileName) {
    if (!pendingFile_.isEmpty() && pendingFile_ != fileName)
        write();
    pendingFile_ = fileName;
    cadence_.edited(Now());
    schedule();
}

void RecoveryWriter::schedule() {
    const std::optional<tavo::RecoveryCadence::Time> due = cadence_.nextWriteAt();
    if (!due) {
        timer_.stop();
        return;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - Now());
    timer_.start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, wait.count())));
}

void RecoveryWriter::flush() {
    if (pending())
        write(false);
}

void RecoveryWriter::dayDone(const QString& fileName) {
    if (pendingFile_ == fileName) {
        timer_.stop();
        cadence_.written();
        pendingFile_.clear();
    }
    removeWritten(fileName);
}

void RecoveryWriter::keepForLater(const QString& fileName) {
    if (pendingFile_ == fileName) {
        timer_.stop();
        cadence_.written();
        pendingFile_.clear();
    }
    written_.erase(fileName);
}

std::optional<std::filesystem::path> RecoveryWriter::keptAt(const QString& fileName) const {
    const auto day = written_.find(fileName);
    if (day == written_.end() || day->second.empty())
        return std::nullopt;
    return day->second.back();
}

void RecoveryWriter::keep(const QString& fileName, const std::filesystem::path& file) {
    std::vector<std::filesystem::path>& files = written_[fileName];
    std::erase_if(files, [&](const std::filesystem::path& older) {
        // One that is not gone now stays listed for when the day is done: its folder may be
        // unwritable for now, or missing and back later with the file in it.
        std::error_code ec;
        return older == file || std::filesystem::remove(older, ec);
    });
    files.push_back(file);
}

void RecoveryWriter::removeWritten(const QString& fileName) {
    const auto day = written_.find(fileName);
    if (day == written_.end())
        return;
    std::string error;
    for (const std::filesystem::path& file : day->second) {
        if (!tavo::RemoveRecoveryFile(file, &error))
            reportOnce(QString::fromStdString(error), &failureReported_);
    }
    written_.erase(day);
}

void RecoveryWriter::reportOnce(const QString& text, bool* reported) {
    if (*reported)
        return;
    *reported = true;
    report_(text);
}

void RecoveryWriter::write(bool reportFailure) {
    timer_.stop();
    cadence_.written();
    const QString fileName = std::exchange(pendingFile_, QString());
    if (fileName.isEmpty())
        return;
    const std::optional<tavo::Entry> texts = texts_();
    if (!texts) {  // undone back to the saved texts
        removeWritten(fileName);
        return;
    }
    // The program folder first every time: when it comes back, the texts go there again.
    const std::string name = fileName.toStdString();
    std::string error;
    if (tavo::WriteRecovery(programFolder_, name, *texts, &error)) {
        keep(fileName, tavo::RecoveryPath(programFolder_, name));
        return;
    }
    std::string elsewhereError;
    if (!fallbackRoot_.empty() &&
        tavo::WriteFallbackRecovery(fallbackRoot_, programFolder_, name, *texts, &elsewhereError)) {
        keep(fileName, tavo::FallbackRecoveryPath(fallbackRoot_, programFolder_, name));
        reportOnce(QStringLiteral("日記のフォルダに復元用ファイルを書き込めないため、入力した"
                                  "文章は次のフォルダに残します。異常終了しても、次の起動で"
                                  "復元できます。\n") +
                       PathText(tavo::FallbackRecoveryFolder(fallbackRoot_, programFolder_)) +
                       QLatin1Char('\n') + QString::fromStdString(error),
                   &elsewhereReported_);
        return;
    }
    if (!elsewhereError.empty())
        error += "\n" + elsewhereError;
    if (reportFailure)
        reportOnce(QStringLiteral("復元用ファイルを書き込めません。編集はこのまま"
                                  "続けられますが、保存するまで異常終了に備えられません。\n") +
                       QString::fromStdString(error),
                   &failureReported_);
}
