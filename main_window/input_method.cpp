#include "main_window/input_method.h"

#include <QLineEdit>

#ifdef Q_OS_WIN
#include <imm.h>
#include <windows.h>

#include <QEvent>

namespace {

class HiraganaOnFocus : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            auto* field = static_cast<QWidget*>(watched);
            const HWND window = reinterpret_cast<HWND>(field->window()->winId());
            if (HIMC context = ImmGetContext(window)) {
                ImmSetOpenStatus(context, TRUE);
                ImmSetConversionStatus(context, IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE,
                                       IME_SMODE_NONE);
                ImmReleaseContext(window, context);
            }
        }
        return false;
    }
};

}  // namespace
#endif

void RequestJapaneseInputOnFocus(QLineEdit* field) {
    field->setProperty(kJapaneseInputProperty, true);
    field->setAttribute(Qt::WA_InputMethodEnabled, true);
#ifdef Q_OS_WIN
    field->installEventFilter(new HiraganaOnFocus(field));
#endif
}
