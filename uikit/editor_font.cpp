#include "uikit/editor_font.h"

namespace {

QFont EditorFace() {
    QFont font(QStringLiteral("Noto Sans Mono CJK JP"));
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

}  // namespace

QFont EditorFont(int pointSize) {
    QFont font = EditorFace();
    font.setPointSize(std::max(pointSize, 1));
    return font;
}

QFont DesignEditorFont() {
    QFont font = EditorFace();
    font.setPixelSize(13);
    return font;
}

QColor ColorFromValue(uint32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

uint32_t ValueFromColor(const QColor& color) {
    return static_cast<uint32_t>(color.red()) | static_cast<uint32_t>(color.green()) << 8 |
           static_cast<uint32_t>(color.blue()) << 16;
}
