#include "ui/enter_presses_button.h"

#include <QPushButton>
#include <QWidget>

namespace tessarin {

void PressFocusedButtonOnEnter(QWidget& window) {
    // An auto-default button clicks itself on Enter while it has the focus; outside a dialog there is no
    // default button for it to take over, so nothing else changes.
    const QList<QPushButton*> buttons = window.findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        button->setAutoDefault(true);
    }
}

}  // namespace tessarin
