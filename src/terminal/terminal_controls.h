#pragma once
// Typed pointers to every control of the window TQ5821. Each control's objectName is its
// name here; array elements are named like "日別シフト(12)", "日(30)", "SS(0)".

#include <array>

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;

namespace tq {

class ClockFace;
class ClockHand;

struct TerminalControls {
    // Punch screen.
    QLineEdit* PassWord = nullptr;
    QLabel* 社員名 = nullptr;
    QLabel* シフトコード = nullptr;
    QPushButton* 出勤 = nullptr;
    QPushButton* 退勤 = nullptr;
    QPushButton* 確認 = nullptr;
    QPushButton* 申請 = nullptr;
    QPushButton* 訂正 = nullptr;
    QPushButton* 出力 = nullptr;  ///< captioned "Excel"
    QPushButton* 設定 = nullptr;
    QPushButton* 社員保守 = nullptr;
    QLabel* DateTime = nullptr;
    QLabel* Week = nullptr;
    QCalendarWidget* MonthView = nullptr;
    ClockFace* clockFace = nullptr;
    ClockHand* Line1 = nullptr;  ///< hours
    ClockHand* Line2 = nullptr;  ///< minutes
    ClockHand* Line3 = nullptr;  ///< seconds
    std::array<QLabel*, 60> SS{};
    QLabel* 項目 = nullptr;
    QLabel* 説明 = nullptr;
    QPushButton* Command1 = nullptr;
    QTimer* Timer = nullptr;

    // Request entry (takes the place of the punch buttons).
    QComboBox* 年月日 = nullptr;
    QComboBox* 区分 = nullptr;
    QLineEdit* 時刻 = nullptr;
    QPushButton* 申請登録 = nullptr;
    QPushButton* 取消 = nullptr;

    // Staff master panel.
    QComboBox* 従業員コード = nullptr;  ///< editable
    QLineEdit* 従業員名 = nullptr;
    QRadioButton* 正社員 = nullptr;
    QRadioButton* 契約社員 = nullptr;
    QRadioButton* パート = nullptr;
    QRadioButton* アルバイト = nullptr;
    QRadioButton* 派遣社員 = nullptr;
    QCheckBox* 残業計算無し = nullptr;
    QLineEdit* 入社年月日 = nullptr;
    QLineEdit* 退社年月日 = nullptr;
    QComboBox* 勤務シフト = nullptr;  ///< editable
    QCalendarWidget* MonthView1 = nullptr;
    QPushButton* 登録 = nullptr;
    QPushButton* 削除 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;

    // Shift calendar (inside Frame1).
    QGroupBox* Frame1 = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* 対象年月 = nullptr;
    std::array<QLabel*, 31> 日{};
    std::array<QComboBox*, 31> 日別シフト{};  ///< editable
    QPushButton* シフト登録 = nullptr;

    // Views that cover the window.
    QTreeWidget* 明細 = nullptr;
    QPlainTextEdit* INI_TEXT = nullptr;
};

}  // namespace tq
