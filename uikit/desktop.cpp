#include "uikit/desktop.h"

#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>

#include "core/product.h"

namespace {

std::function<void(const QUrl&)>& OpenHandler() {
    static std::function<void(const QUrl&)> handler;
    return handler;
}

std::function<std::optional<QColor>(const QColor&)>& ColorResponder() {
    static std::function<std::optional<QColor>(const QColor&)> responder;
    return responder;
}

std::function<QString(const QString&)>& SaveResponder() {
    static std::function<QString(const QString&)> responder;
    return responder;
}

std::function<void()>& EndHandler() {
    static std::function<void()> handler;
    return handler;
}

}  // namespace

void UrlOpener::open(const QUrl& url) {
    if (OpenHandler())
        OpenHandler()(url);
    else
        QDesktopServices::openUrl(url);
}

void UrlOpener::setHandler(std::function<void(const QUrl&)> handler) {
    OpenHandler() = std::move(handler);
}

QString FileChooser::saveFileName(QWidget* parent, const QString& folder, const QString& filter,
                                  const QString& defaultSuffix) {
    if (SaveResponder())
        return SaveResponder()(folder);
    QFileDialog dialog(parent, QString(), folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // The program asks before overwriting, in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void FileChooser::setResponder(std::function<QString(const QString& folder)> responder) {
    SaveResponder() = std::move(responder);
}

std::optional<QColor> ColorPicker::choose(QWidget* parent, const QColor& initial) {
    if (ColorResponder())
        return ColorResponder()(initial);
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

void ColorPicker::setResponder(
    std::function<std::optional<QColor>(const QColor& initial)> responder) {
    ColorResponder() = std::move(responder);
}

void GOTOHP() {
    UrlOpener::open(QUrl(QString::fromLatin1(tavo::kHomePageUrl)));
}

void ProgramEnd::now() {
    if (EndHandler())
        EndHandler()();
    else
        QCoreApplication::exit(0);  // leaves nested loops of modal dialogs too
}

void ProgramEnd::setHandler(std::function<void()> handler) {
    EndHandler() = std::move(handler);
}
