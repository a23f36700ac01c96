#pragma once

#include <string>

// The word processor's published constants, with the values the sheet code passes.
namespace varelo::host {

enum class Orientation { Portrait = 0, Landscape = 1 };
enum class Alignment { Left = 0, Center = 1, Right = 2, Justify = 3 };
enum class LineSpacingRule {
    Single = 0,
    OnePtFive = 1,
    Double = 2,
    AtLeast = 3,
    Exactly = 4,
    Multiple = 5
};
enum class CellVAlign { Top = 0, Center = 1, Bottom = 3 };
enum class RowHeightRule { Auto = 0, AtLeast = 1, Exactly = 2 };
enum class RowAlignment { Left = 0, Center = 1, Right = 2 };
enum class PreferredWidthType { Auto = 1, Percent = 2, Points = 3 };
enum class AutoFit { Fixed = 0, Content = 1, Window = 2 };
enum class TableBehavior { Word8 = 0, Word9 = 1 };

enum class BorderType {
    Top = -1,
    Left = -2,
    Bottom = -3,
    Right = -4,
    Horizontal = -5,
    Vertical = -6,
    DiagonalDown = -7,
    DiagonalUp = -8,
};

inline constexpr int kLineStyleNone = 0;
inline constexpr int kLineStyleSingle = 1;
// Line widths are eighths of a point, which is also their value as a constant.
inline constexpr int kLineWidth025pt = 2;
inline constexpr int kLineWidth050pt = 4;
inline constexpr int kLineWidth075pt = 6;
inline constexpr int kLineWidth100pt = 8;
inline constexpr int kLineWidth150pt = 12;
inline constexpr int kColorAutomatic = -16777216;

inline constexpr int kGutterPosLeft = 0;
inline constexpr int kPaperCustom = 41;
inline constexpr int kPaperA4 = 7;
inline constexpr int kLayoutModeDefault = 0;
inline constexpr int kLayoutModeLineGrid = 2;
inline constexpr int kSectionNewPage = 2;
inline constexpr int kAlignVerticalTop = 0;

enum class StyleId { Normal = -1, Heading1 = -2, Heading2 = -3 };

// Fonts the sheet uses.
inline constexpr const char* kFontBubble = "Block HX";
inline constexpr const char* kFontHei = "黑体";
inline constexpr const char* kFontSong = "宋体";
inline constexpr const char* kFontKai = "楷体_GB2312";

// Bubbles of the bubble font in the private use area (fonts/block_hx.py): an empty bubble, and
// a bubble holding the item number 10 to 99 at U+E000 + the number.
inline constexpr char32_t kBubbleMarkBase = 0xE000;
inline constexpr const char* kEmptyBubble = "\xEE\x80\x80";  // U+E000
inline std::string NumberBubble(int number) {
    const char32_t cp = kBubbleMarkBase + static_cast<char32_t>(number);
    return {static_cast<char>(0xE0 | (cp >> 12)), static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
            static_cast<char>(0x80 | (cp & 0x3F))};
}

}  // namespace varelo::host
