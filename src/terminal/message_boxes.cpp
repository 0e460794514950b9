#include "terminal/message_boxes.h"

#include <QMessageBox>

namespace tq {

namespace {

QMessageBox::Icon boxIcon(Icon icon) {
    switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Exclamation:
            return QMessageBox::Warning;
        case Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

/// The window the box belonged to takes the keyboard back, also where no window manager
/// hands it back (a terminal run in a bare X session).
void giveBackKeyboard(QWidget* parent) {
    if (parent != nullptr && parent->isVisible()) {
        parent->activateWindow();
    }
}

}  // namespace

void RealMessageBoxes::show(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent_);
    // The terminal window stays on top; its boxes must not open behind it.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    giveBackKeyboard(parent_);
}

bool RealMessageBoxes::askOkCancel(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.setDefaultButton(QMessageBox::Ok);
    const bool ok = box.exec() == QMessageBox::Ok;
    giveBackKeyboard(parent_);
    return ok;
}

}  // namespace tq
