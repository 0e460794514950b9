#pragma once
// An Excel 97-2003 workbook writer: sheets of text cells with fonts, alignments and thin
// borders, column widths fitted to the contents, a frozen top row and a page set-up. The
// BIFF8 records are written here; the compound file around them by compound_file.h.

#include <QByteArray>
#include <QString>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace tq::xls {

/// Limits of the file format.
inline constexpr int kMaxRows = 65536;
inline constexpr int kMaxColumns = 256;
inline constexpr int kMaxSheetNameLength = 31;  ///< UTF-16 code units
inline constexpr int kMaxRecordData = 8224;     ///< bytes of one record's data

enum class HAlign : quint8 { General = 0, Left = 1, Centre = 2, Right = 3 };
enum class VAlign : quint8 { Top = 0, Centre = 1, Bottom = 2 };

struct Font {
    QString name = QStringLiteral("ＭＳ Ｐゴシック");
    int points = 11;
    bool bold = false;
    int charset = 128;  ///< the font's character set (128 = Shift_JIS)

    bool operator==(const Font&) const = default;
};

/// A cell format. Index 0 of a workbook is the plain default (general alignment, bottom,
/// no borders, the default font).
struct CellFormat {
    HAlign horizontal = HAlign::General;
    VAlign vertical = VAlign::Bottom;
    bool thinBorders = false;  ///< a thin line on all four edges of the cell
    int font = 0;              ///< an index returned by Workbook::addFont, 0 the default font

    bool operator==(const CellFormat&) const = default;
};

/// Page set-up of a sheet. Margins are in inches, as the file stores them.
struct PageSetup {
    int scalePercent = 100;  ///< 10..400
    bool landscape = false;
    int paperSize = 9;  ///< 9 = A4
    double leftMargin = 0.75;
    double rightMargin = 0.75;
    double topMargin = 1.0;
    double bottomMargin = 1.0;
    double headerMargin = 0.5;
    double footerMargin = 0.5;
    /// The three sections of the page header and footer, with the usual codes (&F the file
    /// name, &A the sheet name, &P the page number).
    QString headerLeft, headerCentre, headerRight;
    QString footerLeft, footerCentre, footerRight;
    /// Rows repeated at the top of each printed page (0-based, inclusive), if any.
    std::optional<std::pair<int, int>> printTitleRows;
};

/// The number of half-width character cells a text takes: characters of East Asian width
/// wide, full-width or ambiguous count two (as a Japanese font draws them), others one.
int DisplayWidth(const QString& text);

/// True when a sheet can carry the name: 1 to 31 UTF-16 units, none of [ ] : * ? / \ or
/// control characters, not beginning or ending with an apostrophe.
bool IsValidSheetName(const QString& name);

class Sheet {
  public:
    explicit Sheet(QString name) : name_(std::move(name)) {}

    const QString& name() const { return name_; }

    /// A text cell. An empty text makes a blank cell that still carries its format (borders).
    /// Positions outside the sheet's limits are ignored.
    void setText(int row, int column, const QString& text, int format = 0);
    void setBlank(int row, int column, int format);
    /// The format of a whole column (cells without a record of their own show it).
    void setColumnFormat(int column, int format);
    /// Freezes the first `rows` rows so that they stay while the rest scrolls.
    void freezeRows(int rows) { frozenRows_ = rows; }
    int frozenRows() const { return frozenRows_; }
    PageSetup& pageSetup() { return setup_; }
    const PageSetup& pageSetup() const { return setup_; }

    struct Cell {
        QString text;  ///< empty: a blank cell
        int format = 0;
    };
    /// Rows by index; each row's cells by column.
    const std::map<int, std::map<int, Cell>>& rows() const { return rows_; }
    const std::map<int, int>& columnFormats() const { return columnFormats_; }
    /// Column width in 1/256 of a digit's width, fitted to the widest text of the column
    /// (plus one character of room); nothing for a column without text.
    std::optional<int> fittedWidth(int column) const;

  private:
    QString name_;
    std::map<int, std::map<int, Cell>> rows_;
    std::map<int, int> columnFormats_;
    std::map<int, int> widestText_;  ///< DisplayWidth per column
    int frozenRows_ = 0;
    PageSetup setup_;
};

class Workbook {
  public:
    explicit Workbook(const Font& defaultFont = Font());

    /// Adds a font (or finds an equal one); returns its index for CellFormat::font.
    int addFont(const Font& font);
    /// Adds a format (or finds an equal one); returns its index for cells and columns.
    int addFormat(const CellFormat& format);
    /// Adds a sheet after the last one. The name must be valid and not used yet (compared
    /// without regard to case); `build()` refuses the workbook otherwise.
    Sheet& addSheet(const QString& name);

    const std::deque<Sheet>& sheets() const { return sheets_; }
    const std::vector<CellFormat>& formats() const { return formats_; }
    const std::vector<Font>& fonts() const { return fonts_; }

    /// The BIFF8 `Workbook` stream; nothing and `error` set when a sheet name is invalid or
    /// repeated, or there is no sheet.
    std::optional<QByteArray> build(QString* error = nullptr) const;

  private:
    std::vector<Font> fonts_;
    std::vector<CellFormat> formats_;
    std::deque<Sheet> sheets_;  ///< references stay valid as sheets are added
};

}  // namespace tq::xls
