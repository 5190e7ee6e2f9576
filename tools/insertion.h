// The HTML menu's insertions into the public text. Each acts only while the editor has
// the input focus, and each goes through the editor's undo.
#pragma once

#include <QColor>
#include <QString>
#include <string>
#include <vector>

class QPlainTextEdit;

// Replaces the selection by opening + selection + closing; the caret ends after closing.
void WrapSelection(QPlainTextEdit* memo, const QString& opening, const QString& closing);
// `<a href="">` before and "</a>" after the selection, the caret between the quotes.
void InsertLink(QPlainTextEdit* memo);
// `<img src="">` before the selection, the caret between the quotes.
void InsertEmptyImage(QPlainTextEdit* memo);

// "#rrggbb" in lower-case hex.
QString ColorToHtml(const QColor& color);

// "userdef.ini": three lines an entry (caption, text before, text after); the last entry
// may be incomplete, its missing texts empty.
size_t UserDefEntryCount(const std::vector<std::string>& lines);
struct UserDefPair {
    std::string before;
    std::string after;
};
UserDefPair UserDefTexts(const std::vector<std::string>& lines, size_t entry);
