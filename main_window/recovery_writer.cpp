#include "main_window/recovery_writer.h"

#include "core/recovery.h"

namespace {

constexpr int kIdleMs = 2000;
constexpr int kLongestMs = 30000;

}  // namespace

RecoveryWriter::RecoveryWriter(std::filesystem::path programFolder, EditedTexts texts,
                               Report report, QObject* parent)
    : QObject(parent),
      programFolder_(std::move(programFolder)),
      texts_(std::move(texts)),
      report_(std::move(report)) {
    idle_.setSingleShot(true);
    longest_.setSingleShot(true);
    setDelays(kIdleMs, kLongestMs);
    connect(&idle_, &QTimer::timeout, this, [this] { write(); });
    connect(&longest_, &QTimer::timeout, this, [this] { write(); });
}

void RecoveryWriter::setDelays(int idleMs, int longestMs) {
    idle_.setInterval(idleMs);
    longest_.setInterval(longestMs);
}

void RecoveryWriter::edited(const QString& fileName) {
    if (!pendingFile_.isEmpty() && pendingFile_ != fileName)
        write();
    pendingFile_ = fileName;
    idle_.start();
    if (!longest_.isActive())
        longest_.start();
}

void RecoveryWriter::flush() {
    if (pending())
        write(false);
}

void RecoveryWriter::dayDone(const QString& fileName) {
    if (pendingFile_ == fileName) {
        idle_.stop();
        longest_.stop();
        pendingFile_.clear();
    }
    removeWritten(fileName);
}

void RecoveryWriter::keepForLater(const QString& fileName) {
    if (pendingFile_ == fileName) {
        idle_.stop();
        longest_.stop();
        pendingFile_.clear();
    }
    written_.erase(fileName);
}

void RecoveryWriter::removeWritten(const QString& fileName) {
    if (written_.erase(fileName) == 0)
        return;
    std::string error;
    if (!tavo::RemoveRecovery(programFolder_, fileName.toStdString(), &error))
        reportOnce(error);
}

void RecoveryWriter::reportOnce(const std::string& error) {
    if (reported_)
        return;
    reported_ = true;
    report_(QString::fromStdString(error));
}

void RecoveryWriter::write(bool reportFailure) {
    idle_.stop();
    longest_.stop();
    const QString fileName = std::exchange(pendingFile_, QString());
    if (fileName.isEmpty())
        return;
    const std::optional<tavo::Entry> texts = texts_();
    if (!texts) {  // undone back to the saved texts
        removeWritten(fileName);
        return;
    }
    std::string error;
    if (tavo::WriteRecovery(programFolder_, fileName.toStdString(), *texts, &error)) {
        written_.insert(fileName);
        return;
    }
    if (reportFailure)
        reportOnce(error);
}
