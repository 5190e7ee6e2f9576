#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

// The editing font of every window: the fixed-pitch Japanese face.
QFont EditorFont(int pointSize);
// The main window's design, used until the user's preferences say otherwise.
QFont DesignEditorFont();
inline constexpr int kDefaultEditorFontSize = 10;

// Colours are stored as 0x00BBGGRR.
QColor ColorFromValue(uint32_t value);
uint32_t ValueFromColor(const QColor& color);
