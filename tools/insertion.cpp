#include "insertion.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace {

QString SelectedText(const QTextCursor& cursor) {
    // The fragment gives line breaks as "\n" where selectedText() would give U+2029.
    return cursor.selection().toPlainText();
}

// Inserts `text` in place of the selection as one undo step and puts the caret at
// `caret` characters after the selection's start.
void ReplaceSelection(QPlainTextEdit* memo, const QString& text, int caret) {
    QTextCursor cursor = memo->textCursor();
    const int start = cursor.selectionStart();
    cursor.insertText(text);
    cursor.setPosition(start + caret);
    memo->setTextCursor(cursor);
}

}  // namespace

bool TakesInsertion(const QPlainTextEdit* memo) {
    return memo->window()->focusWidget() == memo && !memo->isReadOnly();
}

void WrapSelection(QPlainTextEdit* memo, const QString& opening, const QString& closing) {
    if (!TakesInsertion(memo))
        return;
    const QString text = opening + SelectedText(memo->textCursor()) + closing;
    ReplaceSelection(memo, text, static_cast<int>(text.size()));
}

void InsertLink(QPlainTextEdit* memo) {
    if (!TakesInsertion(memo))
        return;
    const QString opening = QStringLiteral("<a href=\"\">");
    ReplaceSelection(memo, opening + SelectedText(memo->textCursor()) + QStringLiteral("</a>"), 9);
}

void InsertEmptyImage(QPlainTextEdit* memo) {
    if (!TakesInsertion(memo))
        return;
    ReplaceSelection(memo, QStringLiteral("<img src=\"\">") + SelectedText(memo->textCursor()), 10);
}

QString ColorToHtml(const QColor& color) {
    return QString::asprintf("#%.2x%.2x%.2x", color.red(), color.green(), color.blue());
}

size_t UserDefEntryCount(const std::vector<std::string>& lines) {
    return lines.empty() ? 0 : (lines.size() - 1) / 3 + 1;
}

UserDefPair UserDefTexts(const std::vector<std::string>& lines, size_t entry) {
    auto line = [&lines](size_t i) { return i < lines.size() ? lines[i] : std::string(); };
    return {line(3 * entry + 1), line(3 * entry + 2)};
}
