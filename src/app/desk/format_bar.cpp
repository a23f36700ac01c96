#include "format_bar.h"

#include <QActionGroup>
#include <QComboBox>
#include <QLineEdit>
#include <optional>

#include "doc/constants.h"

namespace varelo::desk {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Sizes offered in the list, by their Chinese names and in points; any other can be typed.
constexpr std::pair<const char*, double> kNamedSizes[] = {
    {"初号", 42},  {"小初", 36},  {"一号", 26},  {"小一", 24}, {"二号", 22},   {"小二", 18},
    {"三号", 16},  {"小三", 15},  {"四号", 14},  {"小四", 12}, {"五号", 10.5}, {"小五", 9},
    {"六号", 7.5}, {"小六", 6.5}, {"七号", 5.5}, {"八号", 5}};
constexpr double kSizes[] = {9, 10, 10.5, 12, 14, 15, 16, 18, 20, 22, 24, 26, 28, 36};

}  // namespace

std::optional<double> FormatBar::SizeOf(const QString& text) {
    const QString t = text.trimmed();
    for (const auto& [name, points] : kNamedSizes)
        if (t == QString::fromUtf8(name)) return points;
    bool ok = false;
    const double size = t.toDouble(&ok);
    if (!ok || size < 1 || size > 1638) return std::nullopt;
    return size;
}

QString FormatBar::SizeName(double points) {
    for (const auto& [name, size] : kNamedSizes)
        if (size == points) return QString::fromUtf8(name);
    return QString::number(points);
}

namespace {}  // namespace

const std::vector<std::string>& FormatBar::SheetFonts() {
    static const std::vector<std::string> fonts{"宋体", "黑体", "楷体_GB2312"};
    return fonts;
}

FormatBar::FormatBar(QWidget* parent) : QToolBar(QStringLiteral("格式"), parent) {
    setObjectName(QStringLiteral("formatBar"));
    fontBox_ = new QComboBox(this);
    fontBox_->setObjectName(QStringLiteral("fontBox"));
    fontBox_->setToolTip(QStringLiteral("字体"));
    for (const std::string& f : SheetFonts()) fontBox_->addItem(Q(f));
    addWidget(fontBox_);
    sizeBox_ = new QComboBox(this);
    sizeBox_->setObjectName(QStringLiteral("sizeBox"));
    sizeBox_->setToolTip(QStringLiteral("字号（号数或磅）"));
    sizeBox_->setEditable(true);
    sizeBox_->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& [name, points] : kNamedSizes) sizeBox_->addItem(QString::fromUtf8(name));
    for (double s : kSizes) sizeBox_->addItem(QString::number(s));
    sizeBox_->setMinimumContentsLength(4);
    addWidget(sizeBox_);
    bold_ = addAction(QStringLiteral("B"));
    bold_->setObjectName(QStringLiteral("boldAction"));
    bold_->setToolTip(QStringLiteral("加粗 (Ctrl+B)"));
    bold_->setShortcut(QKeySequence::Bold);
    bold_->setCheckable(true);
    QFont boldFace = bold_->font();
    boldFace.setBold(true);
    bold_->setFont(boldFace);
    addSeparator();
    auto* group = new QActionGroup(this);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);  // none: no cell
    const struct {
        host::Alignment alignment;
        const char* name;
        Qt::Key key;
    } kinds[] = {{host::Alignment::Left, "左对齐", Qt::Key_L},
                 {host::Alignment::Center, "居中", Qt::Key_E},
                 {host::Alignment::Right, "右对齐", Qt::Key_R},
                 {host::Alignment::Justify, "两端对齐", Qt::Key_J}};
    for (const auto& [alignment, name, key] : kinds) {
        QAction* a = addAction(QString::fromUtf8(name));
        a->setShortcut(QKeySequence(Qt::CTRL | key));
        a->setToolTip(QStringLiteral("%1 (%2)").arg(
            QString::fromUtf8(name), a->shortcut().toString(QKeySequence::NativeText)));
        a->setCheckable(true);
        group->addAction(a);
        alignments_.emplace_back(alignment, a);
        connect(a, &QAction::triggered, this, [this, alignment = alignment] {
            if (!showing_ && alignmentPicked) alignmentPicked(alignment);
        });
    }
    alignments_[0].second->setObjectName(QStringLiteral("alignLeft"));
    alignments_[1].second->setObjectName(QStringLiteral("alignCenter"));
    alignments_[2].second->setObjectName(QStringLiteral("alignRight"));
    alignments_[3].second->setObjectName(QStringLiteral("alignJustify"));

    connect(fontBox_, &QComboBox::activated, this, [this](int index) {
        if (showing_ || !fontPicked || index < 0) return;
        host::CharFormat f;
        f.font = fontBox_->itemText(index).toStdString();
        fontPicked(f);
    });
    const auto pickSize = [this] {
        const std::optional<double> size = SizeOf(sizeBox_->currentText());
        if (showing_ || !fontPicked || !size) return;
        host::CharFormat f;
        f.size = *size;
        fontPicked(f);
    };
    connect(sizeBox_, &QComboBox::activated, this, pickSize);
    connect(sizeBox_->lineEdit(), &QLineEdit::returnPressed, this, pickSize);
    connect(bold_, &QAction::triggered, this, [this](bool on) {
        if (showing_ || !fontPicked) return;
        host::CharFormat f;
        f.bold = on;
        fontPicked(f);
    });
    Show(nullptr, nullptr);
}

void FormatBar::Show(const host::CharFormat* font, const host::Alignment* alignment) {
    showing_ = true;
    const bool on = font && alignment;
    for (QAction* a : actions()) a->setEnabled(on);
    if (!font) {
        fontBox_->setCurrentIndex(-1);
        sizeBox_->setEditText(QString());
        bold_->setChecked(false);
    } else {
        const QString name = Q(font->font.value_or(""));
        const int index = fontBox_->findText(name);
        fontBox_->setCurrentIndex(index);
        // The bubble font's name means nothing to a teacher: say what it draws.
        if (index < 0)
            fontBox_->setPlaceholderText(
                font->font == host::kFontBubble ? QStringLiteral("答题卡符号") : name);
        sizeBox_->setEditText(font->size ? SizeName(*font->size) : QString());
        bold_->setChecked(font->bold.value_or(false));
    }
    for (auto& [a, action] : alignments_) action->setChecked(alignment && a == *alignment);
    showing_ = false;
}

}  // namespace varelo::desk
