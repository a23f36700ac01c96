#include "sections_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <array>
#include <cmath>
#include <cstdint>

#include "base/numbers.h"
#include "dialog_widgets.h"

namespace varelo::desk {

namespace {

using exam::SectionKind;
using exam::WrittenSection;

// Per kind: its name in the list, the captions of its own count and of its points, what a new
// section of the kind starts from, and what the count's refusal says.
struct KindText {
    SectionKind kind;
    const char* name;
    const char* countCaption;
    const char* pointsCaption;
    const char* countRefusal;
    WrittenSection start;
};
const std::array<KindText, 3> kKinds = {{
    {SectionKind::Fill,
     "填空",
     "每题空数：",
     "每空分值：",
     "每题空数必须是1到32767之间的整数",
     {SectionKind::Fill, "填空题", 10, 2, 1, 0, 2}},
    {SectionKind::Answer,
     "解答",
     "框高行数：",
     "每题分值：",
     "答题框行数必须是1到32767之间的整数",
     {SectionKind::Answer, "解答题", 4, 1, 12, 0, 10}},
    {SectionKind::Essay,
     "作文",
     "字    数：",
     "总 分 值：",
     "字数必须是1到32767之间的整数",
     {SectionKind::Essay, "作文", 1, 1, 1, 600, 50}},
}};

const KindText& TextOf(SectionKind kind) {
    for (const KindText& k : kKinds)
        if (k.kind == kind) return k;
    return kKinds[0];
}

int CountOf(const WrittenSection& s) {
    switch (s.kind) {
        case SectionKind::Fill:
            return s.blanks;
        case SectionKind::Answer:
            return s.rows;
        case SectionKind::Essay:
            return s.chars;
    }
    return 0;
}

void SetCount(WrittenSection& s, int n) {
    switch (s.kind) {
        case SectionKind::Fill:
            s.blanks = n;
            break;
        case SectionKind::Answer:
            s.rows = n;
            break;
        case SectionKind::Essay:
            s.chars = n;
            break;
    }
}

// A count as typed: a whole number a sheet can print.
std::optional<int> Count(const QString& text) {
    const std::optional<double> n = host::ParseNumber(text.toStdString());
    if (!n || *n != std::floor(*n) || *n < 1 || *n > INT16_MAX) return std::nullopt;
    return static_cast<int>(*n);
}

QLabel* Label(QWidget* parent, const char* text, const QRect& geometry) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setGeometry(geometry);
    return l;
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
    auto* b = Make<QPushButton>(parent, name, geometry);
    b->setText(QString::fromUtf8(text));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

QString SectionsSummary(const std::vector<WrittenSection>& sections) {
    if (sections.empty()) return QStringLiteral("无");
    QStringList parts;
    for (const WrittenSection& s : sections)
        parts << (s.kind == SectionKind::Essay
                      ? Q(s.name) + QString::number(s.chars) + QStringLiteral("字")
                      : Q(s.name) + QString::number(s.items) + QStringLiteral("题"));
    return parts.join(QStringLiteral("、"));
}

SectionsDialog::SectionsDialog(host::Application& app, std::vector<WrittenSection> sections,
                               QWidget* parent)
    : QDialog(parent), app_(app), sections_(std::move(sections)) {
    setObjectName(QStringLiteral("frmSections"));
    setWindowTitle(QStringLiteral("主观题设置"));
    setModal(true);
    // The settings dialog's face, so both read alike.
    setStyleSheet(QStringLiteral(
        "* { font-family: 'Noto Sans CJK SC'; font-size: 12px; font-weight: normal; }"
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 5px; padding: 0 2px; }"));
    Build();
    setFixedSize(518, 318);
    ShowEntry(kKinds[0].start);
    ShowList(-1);
}

void SectionsDialog::Build() {
    auto* entry = new QGroupBox(QStringLiteral("主观题"), this);
    entry->setGeometry(8, 0, 502, 92);
    Label(entry, "类    型：", QRect(8, 16, 64, 19));
    cmbKind_ = Make<QComboBox>(entry, "cmbKind", QRect(72, 15, 88, 21));
    for (const KindText& k : kKinds) cmbKind_->addItem(QString::fromUtf8(k.name));
    Label(entry, "题    名：", QRect(176, 16, 64, 19));
    txtName_ = Make<QLineEdit>(entry, "txtName", QRect(240, 16, 160, 19));
    Label(entry, "小 题 数：", QRect(8, 42, 64, 19));
    txtItems_ = Make<QLineEdit>(entry, "txtItems", QRect(72, 42, 88, 19));
    lblCount_ = Label(entry, "", QRect(176, 42, 64, 19));
    lblCount_->setObjectName(QStringLiteral("lblCount"));
    txtCount_ = Make<QLineEdit>(entry, "txtCount", QRect(240, 42, 72, 19));
    lblPoints_ = Label(entry, "", QRect(8, 68, 64, 19));
    lblPoints_->setObjectName(QStringLiteral("lblPoints"));
    txtPoints_ = Make<QLineEdit>(entry, "txtPoints", QRect(72, 68, 88, 19));
    cmdAdd_ = Button(entry, "cmdAdd", "添加", QRect(416, 14, 76, 22));
    cmdChange_ = Button(entry, "cmdChange", "修改", QRect(416, 40, 76, 22));

    lstSections_ = Make<QTableWidget>(this, "lstSections", QRect(8, 100, 420, 170));
    lstSections_->setColumnCount(5);
    lstSections_->setHorizontalHeaderLabels(
        {QStringLiteral("类型"), QStringLiteral("题名"), QStringLiteral("小题数"),
         QStringLiteral("空数/行数/字数"), QStringLiteral("分值")});
    lstSections_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstSections_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstSections_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSections_->verticalHeader()->hide();
    lstSections_->verticalHeader()->setDefaultSectionSize(18);
    lstSections_->horizontalHeader()->setHighlightSections(false);
    lstSections_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int widths[] = {48, 132, 56, 100, 64};
    for (int c = 0; c < 5; ++c) lstSections_->setColumnWidth(c, widths[c]);

    cmdDel_ = Button(this, "cmdDel", "删除", QRect(436, 100, 74, 24));
    cmdUp_ = Button(this, "cmdUp", "上移", QRect(436, 132, 74, 24));
    cmdDown_ = Button(this, "cmdDown", "下移", QRect(436, 164, 74, 24));
    OKButton_ = Button(this, "OKButton", "确定(&O)", QRect(88, 282, 81, 25));
    cmdCancel_ = Button(this, "cmdCancel", "取消(&C)", QRect(312, 282, 81, 25));

    connect(cmbKind_, &QComboBox::activated, this, &SectionsDialog::cmbKind_Change);
    connect(cmdAdd_, &QPushButton::clicked, this, &SectionsDialog::cmdAdd_Click);
    connect(cmdChange_, &QPushButton::clicked, this, &SectionsDialog::cmdChange_Click);
    connect(cmdDel_, &QPushButton::clicked, this, &SectionsDialog::cmdDel_Click);
    connect(cmdUp_, &QPushButton::clicked, this, &SectionsDialog::cmdUp_Click);
    connect(cmdDown_, &QPushButton::clicked, this, &SectionsDialog::cmdDown_Click);
    connect(lstSections_, &QTableWidget::itemSelectionChanged, this,
            &SectionsDialog::lstSections_Click);
    connect(OKButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void SectionsDialog::ShowEntry(const WrittenSection& s) {
    const KindText& k = TextOf(s.kind);
    cmbKind_->setCurrentIndex(static_cast<int>(&k - kKinds.data()));
    txtName_->setText(Q(s.name));
    // A composition is one item.
    txtItems_->setText(QString::number(s.kind == SectionKind::Essay ? 1 : s.items));
    txtItems_->setEnabled(s.kind != SectionKind::Essay);
    lblCount_->setText(QString::fromUtf8(k.countCaption));
    txtCount_->setText(QString::number(CountOf(s)));
    lblPoints_->setText(QString::fromUtf8(k.pointsCaption));
    txtPoints_->setText(Q(host::NumberToText(s.points)));
}

void SectionsDialog::ShowList(int selected) {
    lstSections_->setRowCount(static_cast<int>(sections_.size()));
    for (size_t i = 0; i < sections_.size(); ++i) {
        const WrittenSection& s = sections_[i];
        const QString cells[] = {
            QString::fromUtf8(TextOf(s.kind).name), Q(s.name),
            s.kind == SectionKind::Essay ? QString() : QString::number(s.items),
            QString::number(CountOf(s)), Q(host::NumberToText(s.points))};
        for (int c = 0; c < 5; ++c)
            lstSections_->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
    }
    lstSections_->clearSelection();
    if (selected >= 0 && selected < lstSections_->rowCount()) lstSections_->selectRow(selected);
    lstSections_Click();
}

int SectionsDialog::SelectedRow() const {
    const QModelIndexList rows = lstSections_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

std::optional<WrittenSection> SectionsDialog::EntrySection() {
    WrittenSection s;
    s.kind = kKinds[static_cast<size_t>(std::max(0, cmbKind_->currentIndex()))].kind;
    s.name = txtName_->text().trimmed().toStdString();
    if (s.name.empty()) {
        app_.ShowMessage("请输入主观题题名");
        txtName_->setFocus();
        return std::nullopt;
    }
    if (s.kind != SectionKind::Essay) {
        const std::optional<int> items = Count(txtItems_->text());
        if (!items) {
            app_.ShowMessage("小题数必须是1到32767之间的整数");
            txtItems_->setFocus();
            return std::nullopt;
        }
        s.items = *items;
    }
    const std::optional<int> count = Count(txtCount_->text());
    if (!count) {
        app_.ShowMessage(TextOf(s.kind).countRefusal);
        txtCount_->setFocus();
        return std::nullopt;
    }
    SetCount(s, *count);
    const std::optional<double> points = host::ParseNumber(txtPoints_->text().toStdString());
    if (!points || *points < 0) {
        app_.ShowMessage("分值必须是不小于0的数");
        txtPoints_->setFocus();
        return std::nullopt;
    }
    s.points = *points;
    return s;
}

void SectionsDialog::cmdAdd_Click() {
    if (const std::optional<WrittenSection> s = EntrySection()) {
        sections_.push_back(*s);
        ShowList(-1);
    }
}

void SectionsDialog::cmdChange_Click() {
    const int row = SelectedRow();
    if (row < 0) return;
    if (const std::optional<WrittenSection> s = EntrySection()) {
        sections_[static_cast<size_t>(row)] = *s;
        ShowList(row);
    }
}

void SectionsDialog::cmdDel_Click() {
    const int row = SelectedRow();
    if (row < 0) return;
    sections_.erase(sections_.begin() + row);
    ShowList(-1);
}

void SectionsDialog::cmdUp_Click() {
    const int row = SelectedRow();
    if (row <= 0) return;
    std::swap(sections_[static_cast<size_t>(row)], sections_[static_cast<size_t>(row - 1)]);
    ShowList(row - 1);
}

void SectionsDialog::cmdDown_Click() {
    const int row = SelectedRow();
    if (row < 0 || row + 1 >= static_cast<int>(sections_.size())) return;
    std::swap(sections_[static_cast<size_t>(row)], sections_[static_cast<size_t>(row + 1)]);
    ShowList(row + 1);
}

void SectionsDialog::cmbKind_Change() {
    ShowEntry(kKinds[static_cast<size_t>(std::max(0, cmbKind_->currentIndex()))].start);
}

void SectionsDialog::lstSections_Click() {
    const int row = SelectedRow();
    if (row >= 0) ShowEntry(sections_[static_cast<size_t>(row)]);
    cmdChange_->setEnabled(row >= 0);
    cmdDel_->setEnabled(row >= 0);
    cmdUp_->setEnabled(row > 0);
    cmdDown_->setEnabled(row >= 0 && row + 1 < static_cast<int>(sections_.size()));
}

void SectionsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QDialog::keyPressEvent(event);
    // As in the settings dialog: Enter in an entry field adds the section, on a button it
    // presses it; closing takes a click on OK or Alt+O.
    QWidget* focus = focusWidget();
    if (qobject_cast<QLineEdit*>(focus))
        cmdAdd_->click();
    else if (auto* button = qobject_cast<QPushButton*>(focus))
        button->click();
    event->accept();
}

}  // namespace varelo::desk
