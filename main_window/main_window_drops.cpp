// Files dropped on the main window: a picture dropped while the public text has the focus
// goes in as an image tag; the editors never take a dropped file as text.
#include <QDateEdit>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include "common/ui_text.h"
#include "main_window/sdimain.h"
#include "tools/image_files.h"
#include "tools/imginput.h"
#include "tools/insertion.h"

void TSDIAppForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TSDIAppForm::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    onFilesDropped(event->mimeData()->urls());
}

void TSDIAppForm::onFilesDropped(const QList<QUrl>& urls) {
    raise();
    activateWindow();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return;
    const QString path = urls.first().toLocalFile();
    const std::optional<tavo::ImageSize> size = tavo::ReadImageSize(ToPath(path));
    // The window may not be active yet (the file comes from another program): the editor
    // it gives the focus to decides, as for the HTML menu's insertions.
    if (!size || !TakesInsertion(publicEdit_) || !windows_.imgForm)
        return;
    TImgForm* imageDialog = windows_.imgForm();
    if (!imageDialog->showForDrop(path, *size, datePicker_->date(), paths().programFolder))
        return;
    // The tag goes in front of the selected text, as one step of the editor's undo.
    QTextCursor cursor = publicEdit_->textCursor();
    cursor.insertText(imageDialog->tag() + cursor.selection().toPlainText());
    publicEdit_->setTextCursor(cursor);
}

bool TSDIAppForm::filterDrop(QEvent* event) {
    // The editors would take a dropped file as text; it is an image to insert.
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData()->hasUrls()) {
            drop->acceptProposedAction();
            onFilesDropped(drop->mimeData()->urls());
            return true;
        }
    }
    return false;
}
