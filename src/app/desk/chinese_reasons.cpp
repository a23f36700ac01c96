#include "chinese_reasons.h"

#include <algorithm>
#include <regex>
#include <utility>

namespace varelo::desk {

namespace {

using Phrases = std::pair<const char*, const char*>;

// The first phrase found in the English text gives the Chinese one.
std::optional<std::string> Find(const std::string& english, const auto& phrases) {
    for (const auto& [key, chinese] : phrases)
        if (english.find(key) != std::string::npos) return std::string(chinese);
    return std::nullopt;
}

}  // namespace

std::string ChineseOpenReason(const std::string& reason) {
    static constexpr Phrases kReasons[] = {
        {"the most Varelo opens", "它超出了 Varelo 能打开的大小。"},
        {"is a folder", "这是一个文件夹。"},
        {"too large", "文件太大，不是答题卡。"},
        {"not a .docx", "它不是 .docx 文档。"},
        {"damaged", "文档已损坏。"},
        {"No such file", "文件不存在。"},
        {"Permission denied", "没有读取权限。"},
    };
    return Find(reason, kReasons).value_or("无法读取该文件。");
}

std::optional<std::string> ChineseWriteReason(const std::string& reason) {
    // The save's own words first, then the system's (strerror) in its English.
    static constexpr Phrases kReasons[] = {
        {"the name is a folder", "这是一个文件夹。"},
        {"Is a directory", "这是一个文件夹。"},
        {"the document is too large", "文档太大。"},
        {"Read-only file system", "该位置是只读的。"},
        {"Permission denied", "没有写入权限。"},
        {"Operation not permitted", "没有写入权限。"},
        {"No space left on device", "磁盘空间不足。"},
        {"Disk quota exceeded", "磁盘空间不足。"},
        {"File too large", "文件太大。"},
        {"File name too long", "文件名太长。"},
        {"No such file or directory", "所在的文件夹不存在。"},
        {"Not a directory", "所在的文件夹不存在。"},
    };
    return Find(reason, kReasons);
}

std::string ChineseTemplateReason(const std::string& reason) {
    if (std::any_of(reason.begin(), reason.end(), [](char c) { return c & 0x80; })) return reason;
    // Patterns whose numbers and names go into the Chinese, in their order.
    static const std::pair<std::regex, const char*> kPatterns[] = {
        {std::regex(R"(grid cell \((\d+), (\d+)\))"),
         "答题卡与它的设置不符：页面网格第 $1 行第 $2 列已被改动。"},
        {std::regex(R"(candidate number has more than (\d+) digits)"),
         "答题卡与它的设置不符：考号多于 $1 位。"},
        {std::regex(R"(more than (\d+) items in group (\d+))"),
         "答题卡与它的设置不符：第 $2 组多于 $1 题。"},
        {std::regex(R"(rows (\d+) to (\d+) cross a page break)"),
         "答题卡与它的设置不符：第 $1 到 $2 行跨过了分页。"},
        {std::regex(R"(digit count (\d+) has no)"), "考号位数 $1 没有对应的考号填涂区。"},
        {std::regex(R"(no page grid of its layout (.+))"), "答题卡没有“$1”版式的页面网格。"},
        {std::regex(R"(two pages as its layout prints it \(row (\d+))"),
         "页面网格不再按版式分在两页上（第 $1 行应是第 2 页的开头）：可能有办公软件改动了行高。"},
    };
    for (const auto& [pattern, chinese] : kPatterns) {
        std::smatch m;
        if (std::regex_search(reason, m, pattern)) return m.format(chinese);
    }
    static constexpr Phrases kPhrases[] = {
        {"question list does not fit", "客观题在答题卡中放不下。"},
        {"written sections do not fit", "主观题在答题卡中放不下。"},
        {"no known paper layout", "答题卡的版式无法识别。"},
        {"carries no settings and its grid does not tell them",
         "答题卡不带设置，从页面网格也读不出它的设置。"},
        {"does not match its settings", "答题卡与它的设置不符。"},
        {"resolution must be", "分辨率必须是正数。"},
    };
    return Find(reason, kPhrases).value_or("无法从这份答题卡读出模板。");
}

std::string ChineseUnmodelled(const std::vector<std::string>& what) {
    static constexpr Phrases kNames[] = {
        {"pictures or text boxes", "图片或文本框"},
        {"embedded objects", "嵌入对象"},
        {"embedded documents", "嵌入的文档"},
        {"hyperlinks", "超链接"},
        {"fields", "域"},
        {"tracked changes", "修订"},
        {"comments", "批注"},
        {"footnotes and endnotes", "脚注和尾注"},
        {"content controls", "内容控件"},
        {"equations", "公式"},
        {"symbols", "符号"},
        {"list numbering", "项目编号"},
        {"section breaks", "分节符"},
        {"text frames", "图文框"},
        {"headers and footers", "页眉和页脚"},
        {"page borders", "页面边框"},
        {"line numbers", "行号"},
        {"page and column breaks", "分页符和分栏符"},
        {"italic, underlined, struck-through, hidden or coloured text",
         "倾斜、下划线、删除线、隐藏或彩色的文字"},
        {"other parts of the package", "文档包中的其他部分"},
    };
    std::string list;
    for (const std::string& w : what) {
        std::string name = w;
        for (const auto& [english, chinese] : kNames)
            if (w == english) name = chinese;
        list += (list.empty() ? "" : "、") + name;
    }
    return list;
}

}  // namespace varelo::desk
