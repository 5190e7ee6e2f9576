// Switching the input method to Japanese (Hiragana) when a field gains the focus.
// Windows offers this to programs; other desktops leave the input mode to the user's
// input method, so there the request is only recorded on the field.
#pragma once

class QLineEdit;

inline constexpr char kJapaneseInputProperty[] = "tavoJapaneseInputOnFocus";

void RequestJapaneseInputOnFocus(QLineEdit* field);
