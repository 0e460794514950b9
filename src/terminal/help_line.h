#pragma once
// The help line: `項目` shows the title and `説明` a one-line explanation of the element
// under the pointer (or of the combo box with the focus); the bare window clears both.

#include <QObject>
#include <QString>
#include <map>
#include <vector>

namespace tq {

class TerminalWindow;

/// One row of the help table: the element's name (a control array by its base name), what
/// triggers it, and the texts. An empty title means "the element's current caption".
struct HelpEntry {
    QString element;
    bool onFocus = false;  ///< combo boxes: focus-in; everything else: the pointer
    QString title;
    QString text;
};

/// The help table, in the order of the screen's elements.
const std::vector<HelpEntry>& HelpTable();

class HelpLine : public QObject {
  public:
    explicit HelpLine(TerminalWindow& window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void watch(QWidget* widget, const HelpEntry* entry);

    TerminalWindow& window_;
    std::map<const QObject*, const HelpEntry*> entries_;
};

}  // namespace tq
