#pragma once
// The review on the window: `確認` fills the list `明細` over the whole window; End in the
// list returns to the punch screen.

namespace tq {

class PunchScreen;
class TerminalWindow;

/// Connects `確認` and the End key of `明細`; the review lists the employee `screen` has
/// identified.
void WireReviewScreen(TerminalWindow& window, PunchScreen& screen);

/// `確認`.
void ShowReview(TerminalWindow& window, PunchScreen& screen);
/// End in `明細`: the list hidden, the punch caption back, the focus in `PassWord`.
void CloseReview(TerminalWindow& window);

}  // namespace tq
