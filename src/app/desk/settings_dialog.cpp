#include "settings_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <cmath>

#include "app/desk/addin/form_handlers.h"
#include "compose/driver.h"
#include "dialog_widgets.h"
#include "sections_dialog.h"

namespace varelo::desk {

namespace {

// The dialog's geometry is given in twips; at 96 dpi a pixel is 15 twips.
constexpr double kTwipsPerPixel = 15.0;

int Px(int twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
QRect Tw(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

constexpr int kClientWidth = 7770, kClientHeight = 4305;
// Below the form's own controls: a strip for the option type the form has no room for.
constexpr int kStripTop = 4320, kStripHeight = 615;
// Below that, the written-answer sections, edited in a dialog of their own.
constexpr int kSectionsTop = kStripTop + kStripHeight, kSectionsHeight = 615;
// And last the page codes, below every control the form places.
constexpr int kCodesTop = kSectionsTop + kSectionsHeight, kCodesHeight = 615;
// Entry fields and their labels: labels at the frame's left, boxes where the labels end.
constexpr int kLabelLeft = 120, kBoxLeft = 1080, kLabelWidth = 960;
constexpr int kEntryWidth = 1080;

std::string S(const QString& s) {
    return s.toStdString();
}

QLabel* Label(QWidget* parent, const char* text, const QRect& geometry) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

QGroupBox* Frame(QWidget* parent, const char* title, const QRect& geometry) {
    auto* g = new QGroupBox(QString::fromUtf8(title), parent);
    g->setGeometry(geometry);
    return g;
}

}  // namespace

SettingsDialog::SettingsDialog(host::Application& app, QWidget* parent)
    : QDialog(parent), app_(app) {
    setObjectName(QStringLiteral("frmAddIn"));
    setWindowTitle(QStringLiteral("设置答题卡格式"));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // A compact CJK face, so the texts fit the boxes the geometry gives. Frame captions sit on
    // the frame's top line, as the geometry assumes; the widgets inside start just below them.
    setStyleSheet(QStringLiteral(
        "* { font-family: 'Noto Sans CJK SC'; font-size: 12px; font-weight: normal; }"
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 5px; padding: 0 2px; }"));
    Build();
    setFixedSize(Px(kClientWidth), Px(kCodesTop + kCodesHeight));
    settings::Form_Load(form_);
    WriteWidgets();
}

void SettingsDialog::Build() {
    QGroupBox* titles = Frame(this, "标题设置", Tw(120, 0, 5655, 1335));
    Label(titles, "标  题：", Tw(kLabelLeft, 240, kLabelWidth, 285));
    txtTitle_ = Make<QLineEdit>(titles, "txtTitle", Tw(1080, 240, 4335, 285));
    Label(titles, "副标题：", Tw(kLabelLeft, 600, kLabelWidth, 270));
    txtVice_Title_ = Make<QLineEdit>(titles, "txtVice_Title", Tw(1080, 600, 4335, 270));
    Label(titles, "命题人：", Tw(kLabelLeft, 960, kLabelWidth, 270));
    txtName_ = Make<QLineEdit>(titles, "txtName", Tw(1080, 960, 4335, 270));

    QGroupBox* paper = Frame(this, "纸张设置", Tw(5880, 0, 1815, 615));
    cmbPage_ = Make<QComboBox>(paper, "cmbPage", Tw(120, 240, 1575, 315));
    cmbPage_->setEditable(true);
    cmbPage_->setInsertPolicy(QComboBox::NoInsert);
    for (const exam::Layout layout : exam::kLayouts)
        cmbPage_->addItem(QString::fromUtf8(exam::LayoutName(layout)));

    QGroupBox* digits = Frame(this, "准考证号位数：", Tw(5880, 720, 1815, 615));
    txtExam_NO_ = Make<QLineEdit>(digits, "txtExam_NO", Tw(120, 240, 975, 270));
    Label(digits, "<=12", Tw(1320, 278, 465, 255));

    QGroupBox* objective = Frame(this, "客观题", Tw(120, 1440, 7575, 2295));
    Label(objective, "题  名：", Tw(kLabelLeft, 195, kLabelWidth, 270));
    txtQuestion_ = Make<QLineEdit>(objective, "txtQuestion", Tw(kBoxLeft, 195, kEntryWidth, 270));
    Label(objective, "题  数：", Tw(kLabelLeft, 555, kLabelWidth, 270));
    txtQ_Count_ = Make<QLineEdit>(objective, "txtQ_Count", Tw(kBoxLeft, 555, kEntryWidth, 270));
    Label(objective, "小题分值：", Tw(kLabelLeft, 840, kLabelWidth, 270));
    txtXiaofen_ = Make<QLineEdit>(objective, "txtXiaofen", Tw(kBoxLeft, 840, kEntryWidth, 270));
    chkO_Count_ = Make<QCheckBox>(objective, "chkO_Count", Tw(kLabelLeft, 1200, kLabelWidth, 270));
    chkO_Count_->setText(QStringLiteral("选项数:"));
    txtO_Count_ = Make<QLineEdit>(objective, "txtO_Count", Tw(kBoxLeft, 1200, kEntryWidth, 270));
    optOption0_ = Make<QRadioButton>(objective, "optOption0", Tw(120, 1560, 1095, 255));
    optOption0_->setText(QStringLiteral("字母"));
    optOption1_ = Make<QRadioButton>(objective, "optOption1", Tw(1440, 1560, 735, 255));
    optOption1_->setText(QStringLiteral("数字"));
    QGroupBox* more = Frame(this, "选项类型", Tw(120, kStripTop, 7575, kStripHeight - 60));
    optOption2_ = Make<QRadioButton>(more, "optOption2", Tw(120, 240, 1095, 255));
    optOption2_->setText(QStringLiteral("判断"));
    auto* options = new QButtonGroup(this);
    options->addButton(optOption0_, 0);
    options->addButton(optOption1_, 1);
    options->addButton(optOption2_, 2);
    QGroupBox* written = Frame(this, "主观题", Tw(120, kSectionsTop, 7575, kSectionsHeight - 60));
    cmdSections_ = Make<QPushButton>(written, "cmdSections", Tw(120, 210, 1215, 300));
    cmdSections_->setText(QStringLiteral("设置(&S)…"));
    lblSections_ = Make<QLabel>(written, "lblSections", Tw(1440, 210, 6015, 300));
    QGroupBox* codes = Frame(this, "页码二维码", Tw(120, kCodesTop, 7575, kCodesHeight - 60));
    chkPageCode_ = Make<QCheckBox>(codes, "chkPageCode", Tw(120, 240, 7335, 255));
    chkPageCode_->setTristate(true);
    chkPageCode_->setText(
        QStringLiteral("每页印二维码，扫描时按它配对（半选：第2页有答题内容时印）"));
    chkPageCode_->setToolTip(
        QStringLiteral("勾选：每页都印；不勾：不印；半选（默认）：第2页有选择题或主观题时印"));
    cmdAdd_ = Make<QPushButton>(objective, "cmdAdd", Tw(120, 1920, 735, 255));
    cmdAdd_->setText(QStringLiteral("添加"));
    cmdDel_ = Make<QPushButton>(objective, "cmdDel", Tw(1440, 1920, 735, 255));
    cmdDel_->setText(QStringLiteral("删除"));

    mfgQuestion_ = Make<QTableWidget>(objective, "mfgQuestion", Tw(2280, 120, 5175, 2055));
    mfgQuestion_->setColumnCount(6);
    mfgQuestion_->setSelectionBehavior(QAbstractItemView::SelectRows);
    mfgQuestion_->setSelectionMode(QAbstractItemView::SingleSelection);
    mfgQuestion_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mfgQuestion_->verticalHeader()->hide();
    mfgQuestion_->verticalHeader()->setDefaultSectionSize(18);
    mfgQuestion_->horizontalHeader()->setHighlightSections(false);
    mfgQuestion_->horizontalHeader()->setMinimumSectionSize(24);
    mfgQuestion_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every column stays in view, also when a vertical scroll bar appears.
    const int widths[] = {40, 60, 48, 48, 64, 64};
    for (int c = 0; c < 6; ++c) mfgQuestion_->setColumnWidth(c, widths[c]);

    OKButton_ = Make<QPushButton>(this, "OKButton", Tw(1320, 3840, 1215, 375));
    OKButton_->setText(QStringLiteral("确定(&O)"));
    cmdCancel_ = Make<QPushButton>(this, "cmdCancel", Tw(4680, 3840, 1215, 375));
    cmdCancel_->setText(QStringLiteral("取消(&C)"));

    // Tab order starts at the OK button.
    QWidget* order[] = {OKButton_,   cmdCancel_,   txtTitle_,    txtVice_Title_, txtName_,
                        cmbPage_,    txtExam_NO_,  txtQuestion_, txtQ_Count_,    txtXiaofen_,
                        chkO_Count_, txtO_Count_,  optOption0_,  optOption1_,    cmdAdd_,
                        cmdDel_,     mfgQuestion_, optOption2_,  cmdSections_,   chkPageCode_};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    OKButton_->setFocus();

    // No button is the default: Enter in a field must never make the sheet (keyPressEvent).
    for (QPushButton* b : {OKButton_, cmdCancel_, cmdAdd_, cmdDel_, cmdSections_}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }

    connect(OKButton_, &QPushButton::clicked, this, &SettingsDialog::OKButton_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &SettingsDialog::cmdCancel_Click);
    connect(cmdAdd_, &QPushButton::clicked, this, &SettingsDialog::cmdAdd_Click);
    connect(cmdDel_, &QPushButton::clicked, this, &SettingsDialog::cmdDel_Click);
    connect(cmdSections_, &QPushButton::clicked, this, &SettingsDialog::cmdSections_Click);
    connect(chkO_Count_, &QCheckBox::clicked, this, &SettingsDialog::chkO_Count_Click);
    for (QRadioButton* option : {optOption0_, optOption1_, optOption2_})
        connect(option, &QRadioButton::clicked, this, &SettingsDialog::optOption_Click);
}

void SettingsDialog::ReadWidgets() {
    form_.txtTitle = S(txtTitle_->text());
    form_.txtVice_Title = S(txtVice_Title_->text());
    form_.txtName = S(txtName_->text());
    form_.cmbPage = S(cmbPage_->currentText());
    form_.txtExam_NO = S(txtExam_NO_->text());
    form_.txtQuestion = S(txtQuestion_->text());
    form_.txtQ_Count = S(txtQ_Count_->text());
    form_.txtXiaofen = S(txtXiaofen_->text());
    form_.chkO_Count = chkO_Count_->isChecked();
    form_.txtO_Count = S(txtO_Count_->text());
    form_.optOption = optOption2_->isChecked() ? 2 : optOption1_->isChecked() ? 1 : 0;
    form_.chkPageCode = chkPageCode_->checkState() == Qt::Checked ? settings::SheetForm::kChecked
                        : chkPageCode_->checkState() == Qt::Unchecked
                            ? settings::SheetForm::kUnchecked
                            : settings::SheetForm::kGrayed;
    const QModelIndexList rows = mfgQuestion_->selectionModel()->selectedRows();
    form_.selectedRow = rows.isEmpty() ? -1 : rows.first().row() + 1;
}

void SettingsDialog::WriteWidgets() {
    const auto set = [](QLineEdit* edit, const std::string& text) {
        if (edit->text() != Q(text)) edit->setText(Q(text));
    };
    set(txtTitle_, form_.txtTitle);
    set(txtVice_Title_, form_.txtVice_Title);
    set(txtName_, form_.txtName);
    // The list stands on the entry shown, so the arrow keys move on from it; a text that is
    // no entry is only shown.
    const int entry = cmbPage_->findText(Q(form_.cmbPage), Qt::MatchExactly);
    if (entry >= 0) cmbPage_->setCurrentIndex(entry);
    cmbPage_->setEditText(Q(form_.cmbPage));
    set(txtExam_NO_, form_.txtExam_NO);
    set(txtQuestion_, form_.txtQuestion);
    set(txtQ_Count_, form_.txtQ_Count);
    set(txtXiaofen_, form_.txtXiaofen);
    chkO_Count_->setChecked(form_.chkO_Count);
    set(txtO_Count_, form_.txtO_Count);
    txtO_Count_->setEnabled(form_.txtO_CountEnabled);
    (form_.optOption == 2   ? optOption2_
     : form_.optOption == 1 ? optOption1_
                            : optOption0_)
        ->setChecked(true);

    const settings::QuestionGrid& grid = form_.mfgQuestion;
    QStringList headers;
    if (grid.Rows() > 0)
        for (const std::string& h : grid.GetRow(0)) headers << Q(h);
    mfgQuestion_->setHorizontalHeaderLabels(headers);
    mfgQuestion_->setRowCount(std::max(0, grid.Rows() - 1));
    for (int r = 1; r < grid.Rows(); ++r)
        for (int c = 0; c < 6; ++c) {
            const QString text = Q(grid.TextMatrix(r, c));
            if (QTableWidgetItem* item = mfgQuestion_->item(r - 1, c))
                item->setText(text);
            else
                mfgQuestion_->setItem(r - 1, c, new QTableWidgetItem(text));
        }
    mfgQuestion_->clearSelection();
    if (form_.selectedRow >= 1 && form_.selectedRow < grid.Rows())
        mfgQuestion_->selectRow(form_.selectedRow - 1);
    chkPageCode_->setCheckState(form_.chkPageCode == settings::SheetForm::kChecked ? Qt::Checked
                                : form_.chkPageCode == settings::SheetForm::kUnchecked
                                    ? Qt::Unchecked
                                    : Qt::PartiallyChecked);
    lblSections_->setText(SectionsSummary(form_.sections));
    lblSections_->setToolTip(lblSections_->text());
}

void SettingsDialog::Prefill(const settings::SheetForm& form) {
    const bool loaded = form_.loaded, visible = form_.visible;
    form_ = form;
    form_.loaded = loaded;
    form_.visible = visible;
    form_.selectedRow = -1;
    WriteWidgets();
}

void SettingsDialog::OKButton_Click() {
    ReadWidgets();
    // The driver hides the dialog before it closes documents or yields to the host; follow
    // it at those moments, so questions about unsaved sheets are not covered by the dialog.
    const auto saved = std::make_tuple(app_.askToSave, app_.processPendingEvents);
    const auto follow = [this] {
        if (!form_.visible && isVisible()) hide();
    };
    if (app_.askToSave)
        app_.askToSave = [follow, ask = app_.askToSave](host::Document& doc) {
            follow();
            return ask(doc);
        };
    app_.processPendingEvents = [follow, events = app_.processPendingEvents] {
        follow();
        if (events) events();
    };
    form_.visible = isVisible();
    host::Document* sheet = settings::OKButton_Click(app_, form_);
    std::tie(app_.askToSave, app_.processPendingEvents) = saved;

    if (!form_.loaded) {  // unloaded by the driver: the sheet is made
        sheet_ = sheet;
        accept();
        return;
    }
    WriteWidgets();
}

void SettingsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return QDialog::keyPressEvent(event);
    // Enter in the group's fields adds the group; on a button it presses that button; anywhere
    // else it does nothing. Making the sheet takes a click on OK or Alt+O.
    QWidget* focus = focusWidget();
    if (focus == txtQuestion_ || focus == txtQ_Count_ || focus == txtXiaofen_ ||
        focus == txtO_Count_)
        cmdAdd_->click();
    else if (auto* button = qobject_cast<QPushButton*>(focus))
        button->click();
    event->accept();
}

void SettingsDialog::cmdCancel_Click() {
    settings::cmdCancel_Click(form_);
    QDialog::reject();
}

void SettingsDialog::reject() {
    cmdCancel_Click();
}

void SettingsDialog::cmdAdd_Click() {
    ReadWidgets();
    settings::cmdAdd_Click(app_, form_);
    WriteWidgets();
}

void SettingsDialog::cmdDel_Click() {
    ReadWidgets();
    settings::cmdDel_Click(form_);
    WriteWidgets();
}

void SettingsDialog::chkO_Count_Click() {
    ReadWidgets();
    settings::chkO_Count_Click(form_);
    WriteWidgets();
}

void SettingsDialog::optOption_Click() {
    ReadWidgets();
    settings::optOption_Click(form_);
    WriteWidgets();
}

void SettingsDialog::cmdSections_Click() {
    ReadWidgets();
    SectionsDialog sections(app_, form_.sections, this);
    if (sections.exec() == QDialog::Accepted) form_.sections = sections.Sections();
    WriteWidgets();
}

host::Document* ShowSettingsDialog(host::Application& app, QWidget* parent,
                                   const std::function<void(SettingsDialog&)>& prepare) {
    SettingsDialog dialog(app, parent);
    if (prepare) prepare(dialog);
    dialog.exec();
    return dialog.Sheet();
}

}  // namespace varelo::desk
