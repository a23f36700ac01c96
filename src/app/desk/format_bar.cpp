#include "format_bar.h"

#include <QActionGroup>
#include <QComboBox>
#include <QLineEdit>

namespace varelo::desk {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Sizes offered in the list; any other can be typed.
constexpr double kSizes[] = {9, 10, 10.5, 12, 14, 15, 16, 18, 20, 22, 24, 26, 28, 36};

}  // namespace

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
    sizeBox_->setToolTip(QStringLiteral("字号（磅）"));
    sizeBox_->setEditable(true);
    sizeBox_->setInsertPolicy(QComboBox::NoInsert);
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
    const std::pair<host::Alignment, const char*> kinds[] = {
        {host::Alignment::Left, "左对齐"},
        {host::Alignment::Center, "居中"},
        {host::Alignment::Right, "右对齐"},
        {host::Alignment::Justify, "两端对齐"}};
    for (const auto& [alignment, name] : kinds) {
        QAction* a = addAction(QString::fromUtf8(name));
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
        bool ok = false;
        const double size = sizeBox_->currentText().toDouble(&ok);
        if (showing_ || !fontPicked || !ok || size < 1 || size > 1638) return;
        host::CharFormat f;
        f.size = size;
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
        if (index < 0) fontBox_->setPlaceholderText(name);
        sizeBox_->setEditText(font->size ? QString::number(*font->size) : QString());
        bold_->setChecked(font->bold.value_or(false));
    }
    for (auto& [a, action] : alignments_) action->setChecked(alignment && a == *alignment);
    showing_ = false;
}

}  // namespace varelo::desk
