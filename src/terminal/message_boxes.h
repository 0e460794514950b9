#pragma once
// The message-box seam: every box the terminal shows goes through it, so that tests can
// record the texts and answer the questions.

#include <QString>

#include "common/outcome.h"

class QWidget;

namespace tq {

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    /// A modal box with one OK button.
    virtual void show(const QString& text, Icon icon, const QString& title) = 0;
    /// A modal box with OK and Cancel; true for OK.
    virtual bool askOkCancel(const QString& text, Icon icon, const QString& title) = 0;
};

/// Real message boxes, modal over the given window.
class RealMessageBoxes final : public MessageBoxes {
  public:
    explicit RealMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void show(const QString& text, Icon icon, const QString& title) override;
    bool askOkCancel(const QString& text, Icon icon, const QString& title) override;

  private:
    QWidget* parent_;
};

}  // namespace tq
