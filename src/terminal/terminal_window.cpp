#include "terminal/terminal_window.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include "terminal/clock_face.h"
#include "terminal/help_line.h"
#include "terminal/screen_wiring.h"
#include "terminal/twips.h"

namespace tq {

namespace {

// The layout is drawn on a grid of design pixels (1/96 inch, 15 twips each).
constexpr double dp(double designPixels) {
    return designPixels * 15.0;
}

QFont sizedFont(const QFont& base, int pointSize, bool bold = false) {
    QFont f = base;
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

}  // namespace

QString TerminalWindow::punchCaption() {
    return QStringLiteral("出勤・退勤");
}

QString TerminalWindow::defaultMessageTitle() {
    return QStringLiteral("TQ582");
}

TerminalWindow::TerminalWindow(const TerminalSeams& seams, QWidget* parent)
    : QMainWindow(parent), seams_(seams) {
    setObjectName(QStringLiteral("TQ5821"));
    setWindowTitle(punchCaption());
    state_.workingDirectory =
        seams_.workingDirectory.isEmpty() ? QDir::currentPath() : seams_.workingDirectory;

    QFont base = font();
    base.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP"), base.family()});
    base.setPointSize(10);
    setFont(base);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    central->setMouseTracking(true);
    setCentralWidget(central);

    buildPunchScreen(central);
    buildRequestEntry(central);
    buildStaffMaster(central);
    buildCoveringViews(central);

    controls_.Timer = new QTimer(this);
    controls_.Timer->setObjectName(QStringLiteral("Timer"));
    connect(controls_.Timer, &QTimer::timeout, this, [this] { guard([this] { tick(); }); });

    helpLine_ = std::make_unique<HelpLine>(*this);
    controls_.PassWord->installEventFilter(this);
    controls_.INI_TEXT->installEventFilter(this);

    connect(controls_.設定, &QPushButton::clicked, this, [this] { openSettingsView(); });
    connect(controls_.Command1, &QPushButton::clicked, this, [this] { startManualTimeQuery(); });

    resize(twipsToPixels(kPunchWidthTwips, this), twipsToPixels(kHeightTwips, this));

    WireScreens(*this);
}

TerminalWindow::~TerminalWindow() {
    stopTidying();
    // The screens and the help line watch the controls: they go first, while the window and
    // every control are still whole.
    const QObjectList children = this->children();
    for (QObject* child : children) {
        if (!child->isWidgetType() && !qobject_cast<QLayout*>(child)) {
            delete child;
        }
    }
    helpLine_.reset();
}

void TerminalWindow::buildPunchScreen(QWidget* c) {
    TerminalControls& k = controls_;
    const QFont base = font();
    auto place = [this](QWidget* w, double x, double y, double width, double height) {
        w->setGeometry(twipsRect(dp(x), dp(y), dp(width), dp(height), this));
    };
    auto label = [&](const QString& name, const QString& text, double x, double y, double w,
                     double h) {
        auto* l = new QLabel(text, c);
        l->setObjectName(name);
        place(l, x, y, w, h);
        return l;
    };
    auto button = [&](const QString& name, const QString& text, double x, double y, double w,
                      double h) {
        auto* b = new QPushButton(text, c);
        b->setObjectName(name);
        b->setAutoDefault(false);
        place(b, x, y, w, h);
        return b;
    };

    k.DateTime = label(QStringLiteral("DateTime"), QStringLiteral("99/99 99:99"), 10, 6, 330, 46);
    k.DateTime->setFont(sizedFont(base, 24, true));
    k.Week = label(QStringLiteral("Week"), QStringLiteral("日曜日"), 350, 12, 139, 40);
    k.Week->setFont(sizedFont(base, 20, true));
    k.Week->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    k.clockFace = new ClockFace(c);
    k.clockFace->move(twipsToPixels(dp(8), this), twipsToPixels(dp(58), this));
    k.Line1 = k.clockFace->Line1;
    k.Line2 = k.clockFace->Line2;
    k.Line3 = k.clockFace->Line3;
    k.SS = k.clockFace->SS;

    k.MonthView = new QCalendarWidget(c);
    k.MonthView->setObjectName(QStringLiteral("MonthView"));
    k.MonthView->setFont(sizedFont(base, 9));
    k.MonthView->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    k.MonthView->setHorizontalHeaderFormat(QCalendarWidget::ShortDayNames);
    k.MonthView->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    k.MonthView->setFirstDayOfWeek(Qt::Sunday);
    place(k.MonthView, 262, 58, 227, 172);

    k.確認 = button(QStringLiteral("確認"), QStringLiteral("確認"), 262, 236, 73, 32);
    k.申請 = button(QStringLiteral("申請"), QStringLiteral("申請"), 339, 236, 73, 32);
    k.訂正 = button(QStringLiteral("訂正"), QStringLiteral("訂正"), 416, 236, 73, 32);
    k.出力 = button(QStringLiteral("出力"), QStringLiteral("Excel"), 262, 272, 73, 32);
    k.設定 = button(QStringLiteral("設定"), QStringLiteral("設定"), 339, 272, 73, 32);
    k.社員保守 = button(QStringLiteral("社員保守"), QStringLiteral("社員保守"), 416, 272, 73, 32);

    QLabel* codeCaption =
        label(QStringLiteral("captionPassWord"), QStringLiteral("社員コード"), 12, 312, 150, 20);
    codeCaption->setFont(sizedFont(base, 9));
    QLabel* shiftCaption =
        label(QStringLiteral("captionShift"), QStringLiteral("シフト"), 170, 312, 86, 20);
    shiftCaption->setFont(sizedFont(base, 9));

    k.PassWord = new QLineEdit(c);
    k.PassWord->setObjectName(QStringLiteral("PassWord"));
    k.PassWord->setFont(sizedFont(base, 20, true));
    k.PassWord->setAlignment(Qt::AlignCenter);
    place(k.PassWord, 12, 332, 150, 42);

    k.シフトコード = label(QStringLiteral("シフトコード"), QString(), 170, 332, 86, 42);
    k.シフトコード->setFont(sizedFont(base, 20, true));
    k.シフトコード->setAlignment(Qt::AlignCenter);
    k.シフトコード->setFrameShape(QFrame::Panel);
    k.シフトコード->setFrameShadow(QFrame::Sunken);

    k.社員名 = label(QStringLiteral("社員名"), QString(), 12, 380, 244, 40);
    k.社員名->setFont(sizedFont(base, 17, true));
    k.社員名->setFrameShape(QFrame::Panel);
    k.社員名->setFrameShadow(QFrame::Sunken);
    k.社員名->setIndent(6);

    k.出勤 = button(QStringLiteral("出勤"), QStringLiteral("出勤"), 262, 316, 227, 50);
    k.出勤->setFont(sizedFont(base, 20, true));
    k.退勤 = button(QStringLiteral("退勤"), QStringLiteral("退勤"), 262, 372, 227, 50);
    k.退勤->setFont(sizedFont(base, 20, true));
    QPalette inPalette = k.出勤->palette();
    inPalette.setColor(QPalette::Button, QColor(214, 240, 214));
    k.出勤->setPalette(inPalette);
    QPalette outPalette = k.退勤->palette();
    outPalette.setColor(QPalette::Button, QColor(214, 226, 246));
    k.退勤->setPalette(outPalette);

    k.項目 = label(QStringLiteral("項目"), QString(), 12, 462, 112, 44);
    k.項目->setFont(sizedFont(base, 10, true));
    k.項目->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    k.説明 = label(QStringLiteral("説明"), QString(), 124, 462, 365, 44);
    k.説明->setWordWrap(true);
    k.説明->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The help line reads as one note pinned below the buttons.
    for (QLabel* help : {k.項目, k.説明}) {
        QPalette note = help->palette();
        note.setColor(QPalette::Window, QColor(255, 250, 222));
        help->setPalette(note);
        help->setAutoFillBackground(true);
        help->setMargin(4);
    }

    k.Command1 = button(QStringLiteral("Command1"), QStringLiteral("Command1"), 409, 512, 80, 22);
    k.Command1->setFont(sizedFont(base, 8));
}

void TerminalWindow::buildRequestEntry(QWidget* c) {
    TerminalControls& k = controls_;
    auto combo = [&](const QString& name, double x, double w) {
        auto* box = new QComboBox(c);
        box->setObjectName(name);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setGeometry(twipsRect(dp(x), dp(428), dp(w), dp(28), this));
        return box;
    };
    k.年月日 = combo(QStringLiteral("年月日"), 12, 100);
    k.区分 = combo(QStringLiteral("区分"), 116, 84);
    k.時刻 = new QLineEdit(c);
    k.時刻->setObjectName(QStringLiteral("時刻"));
    k.時刻->setAlignment(Qt::AlignCenter);
    k.時刻->setGeometry(twipsRect(dp(204), dp(428), dp(52), dp(28), this));

    // Start-up moves them to the vertical places of the punch buttons they stand in for.
    QFont big = font();
    big.setPointSize(18);
    big.setBold(true);
    k.申請登録 = new QPushButton(QStringLiteral("登録"), c);
    k.申請登録->setObjectName(QStringLiteral("申請登録"));
    k.申請登録->setAutoDefault(false);
    k.申請登録->setFont(big);
    k.申請登録->setGeometry(twipsRect(dp(262), dp(428), dp(227), dp(50), this));
    k.取消 = new QPushButton(QStringLiteral("取消"), c);
    k.取消->setObjectName(QStringLiteral("取消"));
    k.取消->setAutoDefault(false);
    k.取消->setFont(big);
    k.取消->setGeometry(twipsRect(dp(262), dp(484), dp(227), dp(50), this));
}

void TerminalWindow::buildStaffMaster(QWidget* c) {
    TerminalControls& k = controls_;
    auto place = [this](QWidget* w, double x, double y, double width, double height) {
        w->setGeometry(twipsRect(dp(x), dp(y), dp(width), dp(height), this));
    };
    auto label = [&](QWidget* parent, const QString& name, const QString& text, double x, double y,
                     double w, double h) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(name);
        place(l, x, y, w, h);
        return l;
    };
    auto line = [&](const QString& name, double x, double y, double w) {
        auto* e = new QLineEdit(c);
        e->setObjectName(name);
        place(e, x, y, w, 26);
        return e;
    };
    auto option = [&](const QString& name, double x, double y, double w) {
        auto* r = new QRadioButton(name, c);
        r->setObjectName(name);
        place(r, x, y, w, 22);
        return r;
    };
    auto button = [&](QWidget* parent, const QString& name, const QString& text, double x, double y,
                      double w) {
        auto* b = new QPushButton(text, parent);
        b->setObjectName(name);
        b->setAutoDefault(false);
        place(b, x, y, w, 28);
        return b;
    };

    constexpr double L = 507;  // left edge of the panel
    k.Label1 = label(c, QStringLiteral("Label1"), QStringLiteral("コード"), L, 12, 76, 26);
    k.従業員コード = new QComboBox(c);
    k.従業員コード->setObjectName(QStringLiteral("従業員コード"));
    k.従業員コード->setEditable(true);
    k.従業員コード->setInsertPolicy(QComboBox::NoInsert);
    place(k.従業員コード, L + 80, 12, 231, 26);

    k.Label4 = label(c, QStringLiteral("Label4"), QStringLiteral("社員名"), L, 44, 76, 26);
    k.従業員名 = line(QStringLiteral("従業員名"), L + 80, 44, 231);

    k.正社員 = option(QStringLiteral("正社員"), L, 76, 72);
    k.契約社員 = option(QStringLiteral("契約社員"), L + 74, 76, 86);
    k.パート = option(QStringLiteral("パート"), L + 162, 76, 66);
    k.アルバイト = option(QStringLiteral("アルバイト"), L + 230, 76, 86);
    k.派遣社員 = option(QStringLiteral("派遣社員"), L, 100, 86);
    k.残業計算無し = new QCheckBox(QStringLiteral("残業計算無し"), c);
    k.残業計算無し->setObjectName(QStringLiteral("残業計算無し"));
    place(k.残業計算無し, L + 162, 100, 140, 22);

    k.Label5 = label(c, QStringLiteral("Label5"), QStringLiteral("入社年月日"), L, 128, 76, 26);
    k.入社年月日 = line(QStringLiteral("入社年月日"), L + 80, 128, 110);
    k.Label6 = label(c, QStringLiteral("Label6"), QStringLiteral("退社年月日"), L, 158, 76, 26);
    k.退社年月日 = line(QStringLiteral("退社年月日"), L + 80, 158, 110);
    k.Label7 = label(c, QStringLiteral("Label7"), QStringLiteral("シフト"), L, 188, 76, 26);
    k.勤務シフト = new QComboBox(c);
    k.勤務シフト->setObjectName(QStringLiteral("勤務シフト"));
    k.勤務シフト->setEditable(true);
    k.勤務シフト->setInsertPolicy(QComboBox::NoInsert);
    place(k.勤務シフト, L + 80, 188, 60, 26);

    k.登録 = button(c, QStringLiteral("登録"), QStringLiteral("登録"), L + 160, 187, 74);
    k.削除 = button(c, QStringLiteral("削除"), QStringLiteral("削除"), L + 237, 187, 74);

    k.Frame1 = new QGroupBox(QStringLiteral("日別シフト"), c);
    k.Frame1->setObjectName(QStringLiteral("Frame1"));
    place(k.Frame1, L, 222, 311, 312);
    QWidget* f = k.Frame1;
    k.Label8 = label(f, QStringLiteral("Label8"), QStringLiteral("対象年月"), 10, 24, 64, 26);
    k.対象年月 = new QComboBox(f);
    k.対象年月->setObjectName(QStringLiteral("対象年月"));
    place(k.対象年月, 76, 24, 96, 26);
    k.シフト登録 = button(f, QStringLiteral("シフト登録"), QStringLiteral("ｼﾌﾄ登録"), 200, 23, 100);

    static const QString fullWidthDigits = QStringLiteral("１２３４５６７８９");
    for (int i = 0; i < 31; ++i) {
        const int column = i / 8;
        const int row = i % 8;
        const double x = 8 + column * 75.0;
        const double y = 60 + row * 31.0;
        const QString caption = (i < 9 ? QString(fullWidthDigits.at(i)) : QString::number(i + 1)) +
                                QStringLiteral("日");
        QLabel* day = label(f, QStringLiteral("日(%1)").arg(i), caption, x, y, 32, 26);
        day->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        k.日[static_cast<size_t>(i)] = day;
        auto* box = new QComboBox(f);
        box->setObjectName(QStringLiteral("日別シフト(%1)").arg(i));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        place(box, x + 34, y, 38, 26);
        k.日別シフト[static_cast<size_t>(i)] = box;
    }

    k.MonthView1 = new QCalendarWidget(c);
    k.MonthView1->setObjectName(QStringLiteral("MonthView1"));
    k.MonthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    k.MonthView1->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    k.MonthView1->setFirstDayOfWeek(Qt::Sunday);
    k.MonthView1->setFont(sizedFont(font(), 9));
    place(k.MonthView1, L + 80, 154, 227, 172);
    k.MonthView1->hide();
}

void TerminalWindow::buildCoveringViews(QWidget* c) {
    controls_.明細 = new QTreeWidget(c);
    controls_.明細->setObjectName(QStringLiteral("明細"));
    controls_.明細->hide();

    controls_.INI_TEXT = new QPlainTextEdit(c);
    controls_.INI_TEXT->setObjectName(QStringLiteral("INI_TEXT"));
    QFont mono = font();
    mono.setPointSize(11);
    controls_.INI_TEXT->setFont(mono);
    // One file line per screen line, so that what is seen is what the file holds.
    controls_.INI_TEXT->setLineWrapMode(QPlainTextEdit::NoWrap);
    controls_.INI_TEXT->hide();
}

void TerminalWindow::configureDetailList() {
    QTreeWidget* list = controls_.明細;
    struct Column {
        const char16_t* header;
        Qt::Alignment alignment;
    };
    static const Column columns[] = {
        {u"日付", Qt::AlignLeft},      {u"曜日", Qt::AlignLeft},     {u"シフト", Qt::AlignLeft},
        {u"残業指示", Qt::AlignRight}, {u"状態", Qt::AlignLeft},     {u"出勤", Qt::AlignRight},
        {u"退勤", Qt::AlignRight},     {u"勤務", Qt::AlignRight},    {u"休憩", Qt::AlignRight},
        {u"所定", Qt::AlignRight},     {u"残業", Qt::AlignRight},    {u"深夜", Qt::AlignRight},
        {u"早出", Qt::AlignRight},     {u"実働", Qt::AlignRight},    {u"状態打刻", Qt::AlignLeft},
        {u"出勤打刻", Qt::AlignLeft},  {u"退勤打刻", Qt::AlignLeft},
    };
    list->clear();
    list->setColumnCount(0);
    list->setColumnCount(17);
    auto* header = new QTreeWidgetItem;
    for (int i = 0; i < 17; ++i) {
        header->setText(i, QString::fromUtf16(columns[i].header));
        header->setTextAlignment(i, columns[i].alignment | Qt::AlignVCenter);
    }
    list->setHeaderItem(header);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setWordWrap(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionsMovable(false);
}

void AppendDetailRow(QTreeWidget* list, const QStringList& texts) {
    auto* item = new QTreeWidgetItem(list);
    const QTreeWidgetItem* header = list->headerItem();
    for (int i = 0; i < texts.size() && i < list->columnCount(); ++i) {
        item->setText(i, texts.at(i));
        item->setTextAlignment(i, Qt::Alignment(header->textAlignment(i)));
    }
}

void TerminalWindow::setWidthTwips(int twips) {
    widthTwips_ = twips;
    resize(twipsToPixels(twips, this), height());
}

int TerminalWindow::widthTwips() const {
    // The width last set in twips, as long as the window still has it.
    if (width() == twipsToPixels(widthTwips_, this)) {
        return widthTwips_;
    }
    return static_cast<int>(std::lround(pixelsToTwips(width(), this)));
}

void TerminalWindow::message(const QString& text, Icon icon) {
    seams_.messages.show(text, icon, caption());
}

void TerminalWindow::messageWithDefaultTitle(const QString& text, Icon icon) {
    seams_.messages.show(text, icon, defaultMessageTitle());
}

void TerminalWindow::showMessage(const Message& m) {
    if (m.defaultTitle) {
        messageWithDefaultTitle(m.text, m.icon);
    } else {
        message(m.text, m.icon);
    }
}

void TerminalWindow::showOutcome(const Outcome& outcome) {
    for (const Message& m : outcome.messages) {
        showMessage(m);
    }
}

bool TerminalWindow::askOkCancel(const QString& text, Icon icon) {
    return seams_.messages.askOkCancel(text, icon, caption());
}

LogContext TerminalWindow::logContext() const {
    return LogContext{state_.ComputerName, state_.UserName, caption()};
}

void TerminalWindow::setHelpLine(const QString& title, const QString& text) {
    controls_.項目->setText(title);
    controls_.説明->setText(text);
}

bool TerminalWindow::guard(const std::function<void()>& action) {
    if (ended_) {
        return false;
    }
    try {
        action();
        return true;
    } catch (const DbError& e) {
        endWithError(e.message());
        return false;
    }
}

}  // namespace tq
