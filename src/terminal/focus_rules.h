#pragma once
// Keys reach only controls the user can see. A control of a view folded away beyond the
// window's edge, hidden, or lying under a view that covers the window takes no focus: Tab,
// Shift+Tab, Enter and a focus that must move on (its control hidden or disabled) skip it.

class QEvent;
class QObject;
class QWidget;

namespace tq {

/// True when `w` is shown, its centre lies inside its window and no other control covers it.
bool SeenByUser(const QWidget* w);

/// The control that Tab (`next`) or Shift+Tab reaches from `from` in the focus chain, among
/// those the user sees and can use; nullptr when there is none.
QWidget* NextSeenControl(QWidget* from, bool next);

/// True when `event` ends a stay of the focus in `field`, so that its lost-focus check runs:
/// a focus-out after a focus-in of its own. Another window or a popup taking the focus ends
/// nothing, and neither does the focus-out that a control gets when the focus, on its way
/// to it, is taken back by the control it left. Every event of the field must pass here.
bool LeavesField(QObject* field, QEvent* event);

}  // namespace tq
