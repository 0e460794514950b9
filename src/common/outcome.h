#pragma once
// What an operation tells its user: message texts with their icon, in order. The window
// shows them as message boxes; the command-line tool prints them.

#include <QString>
#include <vector>

namespace tq {

enum class Icon { None, Information, Exclamation };

struct Message {
    QString text;
    Icon icon = Icon::None;
    /// True when the box carries the platform's default title instead of the window caption.
    bool defaultTitle = false;
};

struct Outcome {
    bool accepted = false;          ///< the change was stored (or the query produced rows)
    std::vector<Message> messages;  ///< in the order they are shown
    /// A database failure after the change was stored (a read that followed it): reported
    /// after the messages, on its own, as any database failure is. Empty when none.
    QString failureAfter;
};

}  // namespace tq
