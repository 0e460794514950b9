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

}  // namespace

void RealMessageBoxes::show(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent_);
    // The terminal window stays on top; its boxes must not open behind it.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

bool RealMessageBoxes::askOkCancel(const QString& text, Icon icon, const QString& title) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace tq
