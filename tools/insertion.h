// The HTML menu's insertions into the public text. Each acts only while the editor is the
// one its window gives the focus to and may be edited, and each goes through its undo.
#pragma once

#include <QColor>
#include <QString>
#include <string>
#include <vector>

class QPlainTextEdit;

// True when `memo` is where the user is typing: the focus widget its window remembers, so
// that it still counts while the window is inactive (a dialog just closed, a file dragged
// in from another program), and not read-only.
bool TakesInsertion(const QPlainTextEdit* memo);

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
