#include "ui/frm_unit_setting.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

#include "data/choice_tables.h"
#include "data/file_access.h"
#include "data/safe_write.h"
#include "data/settings_codec.h"
#include "data/settings_file.h"
#include "link/request_cycle.h"
#include "ui/app_version.h"
#include "ui/dlg_msg_box.h"
#include "ui/enter_presses_button.h"
#include "ui/save_file_dialog.h"
#include "ui/ui_fonts.h"

namespace tessarin {

namespace {

// The year list holds the two digits after a fixed "20".
constexpr int kFirstYear = 2010;
constexpr int kLastYear = 2050;
constexpr int kCentury = 2000;

constexpr int kYearList = 2;
constexpr int kMonthList = 3;
constexpr int kDayList = 4;
constexpr int kHourList = 5;
constexpr int kMinuteList = 6;

constexpr int kBannerShadowOffset = 3;

// The lists' titles in SettingList order, as the operator reads them in messages.
constexpr std::array<const char*, kSettingListCount> kListTitles{
    "微地絡検出条件", "Ｖｏしきい値",     "Ｉｏしきい値", "動作位相範囲",    "微地絡検出時間",
    "微地絡確定回数", "サイクリック表示", "ログ上書き",   "a11-a1c警報出力", "a12-a2c警報出力"};

// Differences from the unit: amber, so that they never read as the red of a list without a report.
const QColor kDifferColour(255, 204, 102);

constexpr const char* kFileTitle = "設定ファイル";

QString titlesOf(const std::vector<SettingList>& lists) {
    QStringList titles;
    for (const SettingList list : lists) {
        titles << QString::fromUtf8(kListTitles[static_cast<std::size_t>(list)]);
    }
    return titles.join(QStringLiteral("、"));
}

QString fileErrorText(const SettingsFileRead& read) {
    switch (read.Error) {
        case SettingsFileError::None:
            break;
        case SettingsFileError::TooLarge:
            return QStringLiteral("ファイルが大きすぎます。設定ファイルではありません。");
        case SettingsFileError::NotJson:
            return QStringLiteral("ファイルが壊れているか、途中で切れています。");
        case SettingsFileError::NotOurs:
            return QStringLiteral("このファイルは設定ファイルではありません。");
        case SettingsFileError::NewerFormat:
            return QStringLiteral("新しい版のプログラムで保存された設定ファイルです。読み込めません。");
        case SettingsFileError::MissingField:
            return QStringLiteral("設定ファイルに項目「%1」がありません。").arg(QString::fromStdString(read.Field));
        case SettingsFileError::DuplicateKey:
            return QStringLiteral("設定ファイルに項目「%1」が二つ以上あります。")
                .arg(QString::fromStdString(read.Field));
        case SettingsFileError::TrailingData:
            return QStringLiteral("設定ファイルの終わりの後に余分なデータがあります。");
        case SettingsFileError::BadVersion:
            return QStringLiteral("設定ファイルの項目「%1」の値が正しくありません。")
                .arg(QString::fromStdString(read.Field));
    }
    return {};
}

// The title banner: its text drawn once in grey, slightly down and right, and once more on top of it.
class ShadowBanner : public QLabel {
  public:
    explicit ShadowBanner(const QString& text) : QLabel(text) {
        setContentsMargins(0, 0, kBannerShadowOffset, kBannerShadowOffset);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(this);
            painter.setFont(font());
            painter.setPen(palette().color(QPalette::Dark));
            const QRect area = contentsRect().translated(kBannerShadowOffset, kBannerShadowOffset);
            painter.drawText(area, static_cast<int>(alignment()), text());
        }
        QLabel::paintEvent(event);
    }
};

void setListColour(QComboBox* list, const QColor& colour) {
    QPalette palette = list->palette();
    // A drop-down list paints its face with Button, its open list and edit field with Base.
    palette.setColor(QPalette::Button, colour);
    palette.setColor(QPalette::Base, colour);
    list->setPalette(palette);
}

QComboBox* newList(const QString& name) {
    auto* list = new QComboBox;
    list->setObjectName(name);
    list->setEditable(false);  // only the list's own entries can be chosen
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}

QLabel* newText(const char* text, const QString& name = {}) {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setObjectName(name);
    return label;
}

int entryNumber(const QComboBox* list) {
    bool ok = false;
    const int value = list->currentText().toInt(&ok);
    return ok ? value : 0;
}

// Selects the entry whose text is `number`, or the nearest entry when the list has none such.
void selectNumber(QComboBox* list, int number) {
    const int position = list->findText(QString::number(number));
    if (position >= 0) {
        list->setCurrentIndex(position);
        return;
    }
    if (list->count() == 0) {
        return;
    }
    const int first = list->itemText(0).toInt();
    list->setCurrentIndex(std::clamp(number - first, 0, list->count() - 1));
}

}  // namespace

frmUnitSetting::frmUnitSetting(const DeviceData& deviceData, UnitCommands& commands, Clock clock, QWidget* parent)
    : QWidget(parent), m_data(deviceData), m_commands(commands), m_clock(std::move(clock)) {
    buildWindow();
    PressFocusedButtonOnEnter(*this);
    Form_Load();
}

frmUnitSetting::~frmUnitSetting() = default;

void frmUnitSetting::buildWindow() {
    setObjectName(QStringLiteral("frmUnitSetting"));
    setWindowTitle(QString::fromUtf8(kUnitSettingCaption));
    setFont(UiFont(kPointSizeControls));

    auto* banner = new ShadowBanner(QString::fromUtf8(kUnitSettingCaption));
    banner->setObjectName(QStringLiteral("lblBanner"));
    banner->setFont(UiFont(kPointSizeBanner, true));

    // 検出設定: two rows of four lists, each under its title.
    static constexpr std::array<const char*, 8> kDetectTitles{"微地絡検出条件",  "Ｖｏしきい値",   "Ｉｏしきい値",
                                                              "動作位相範囲",    "微地絡検出時間", "微地絡確定回数",
                                                              "a11-a1c警報出力", "a12-a2c警報出力"};
    auto* detect = new QGroupBox(QStringLiteral("検出設定"));
    detect->setObjectName(QStringLiteral("fraDetect"));
    auto* detectGrid = new QGridLayout(detect);
    detectGrid->setHorizontalSpacing(24);
    detectGrid->setVerticalSpacing(4);
    // Rows: titles, lists, air, titles, lists.
    for (std::size_t i = 0; i < m_cmbUnitPara1.size(); ++i) {
        const int row = static_cast<int>(i / 4) * 3;
        const int column = static_cast<int>(i % 4);
        m_cmbUnitPara1[i] = newList(QStringLiteral("cmbUnitPara1_%1").arg(i));
        detectGrid->addWidget(newText(kDetectTitles[i], QStringLiteral("lblUnitPara1_%1").arg(i)), row, column);
        detectGrid->addWidget(m_cmbUnitPara1[i], row + 1, column);
    }
    detectGrid->setRowMinimumHeight(2, 12);
    for (int column = 0; column < 4; ++column) {
        detectGrid->setColumnStretch(column, 1);
    }

    for (std::size_t i = 0; i < m_cmbUnitPara2.size(); ++i) {
        m_cmbUnitPara2[i] = newList(QStringLiteral("cmbUnitPara2_%1").arg(i));
    }

    // その他設定: two lists side by side, then the box for the unit's clock.
    auto* other = new QGroupBox(QStringLiteral("その他設定"));
    other->setObjectName(QStringLiteral("fraOther"));
    auto* otherGrid = new QGridLayout;
    otherGrid->setHorizontalSpacing(24);
    otherGrid->setVerticalSpacing(4);
    otherGrid->addWidget(newText("サイクリック表示", QStringLiteral("lblUnitPara2_0")), 0, 0);
    otherGrid->addWidget(m_cmbUnitPara2[0], 1, 0);
    otherGrid->addWidget(newText("ログ上書き", QStringLiteral("lblUnitPara2_1")), 0, 1);
    otherGrid->addWidget(m_cmbUnitPara2[1], 1, 1);
    otherGrid->setColumnStretch(2, 1);

    auto* clockBox = new QFrame;
    clockBox->setObjectName(QStringLiteral("fraClock"));
    clockBox->setFrameShape(QFrame::StyledPanel);
    m_option1[0] = new QRadioButton(QStringLiteral("ＰＣ日時"));
    m_option1[0]->setObjectName(QStringLiteral("Option1_0"));
    m_option1[1] = new QRadioButton(QStringLiteral("指定日時"));
    m_option1[1]->setObjectName(QStringLiteral("Option1_1"));
    auto* clockGrid = new QGridLayout(clockBox);
    clockGrid->addWidget(m_option1[0], 0, 0);
    clockGrid->addWidget(m_option1[1], 1, 0);
    auto* dateRow = new QHBoxLayout;
    dateRow->setSpacing(4);
    dateRow->addSpacing(16);
    dateRow->addWidget(newText("20"));
    static constexpr std::array<const char*, 5> kUnits{"年", "月", "日", "時", "分"};
    for (std::size_t i = 0; i < kUnits.size(); ++i) {
        dateRow->addWidget(m_cmbUnitPara2[kYearList + i]);
        dateRow->addWidget(newText(kUnits[i]));
        dateRow->addSpacing(i == 2 ? 16 : 4);  // a little more air between the date and the time
    }
    dateRow->addStretch(1);
    clockGrid->addLayout(dateRow, 1, 1);
    clockGrid->setColumnStretch(1, 1);

    auto* otherPage = new QVBoxLayout(other);
    otherPage->addLayout(otherGrid);
    otherPage->addSpacing(8);
    otherPage->addWidget(clockBox);

    auto* cmdNowValue = new QPushButton(QStringLiteral("現在値に表示更新"));
    cmdNowValue->setObjectName(QStringLiteral("cmdNowValue"));
    auto* cmdSetting = new QPushButton(QStringLiteral("一括設定変更"));
    cmdSetting->setObjectName(QStringLiteral("cmdSetting"));
    auto* cmdInit = new QPushButton(QStringLiteral("設定初期化"));
    cmdInit->setObjectName(QStringLiteral("cmdInit"));
    // The line that reports, then the file and comparison buttons on the right above the three write buttons.
    m_lblCheck = new QLabel;
    m_lblCheck->setObjectName(QStringLiteral("lblCheck"));
    m_lblCheck->setTextFormat(Qt::PlainText);
    auto* checkRow = new QHBoxLayout;
    checkRow->setSpacing(8);
    checkRow->addStretch(1);
    const std::array<std::pair<const char*, void (frmUnitSetting::*)()>, 3> kFileButtons{
        std::pair{"cmdSaveFile", &frmUnitSetting::cmdSaveFile_Click},
        std::pair{"cmdLoadFile", &frmUnitSetting::cmdLoadFile_Click},
        std::pair{"cmdCompare", &frmUnitSetting::cmdCompare_Click}};
    static constexpr std::array<const char*, 3> kFileButtonTexts{"ファイルに保存...", "ファイルから読込...",
                                                                 "本体と比較"};
    for (std::size_t i = 0; i < kFileButtons.size(); ++i) {
        auto* button = new QPushButton(QString::fromUtf8(kFileButtonTexts[i]));
        button->setObjectName(QString::fromUtf8(kFileButtons[i].first));
        checkRow->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, slot = kFileButtons[i].second] { (this->*slot)(); });
    }
    m_tmrCheck = new QTimer(this);
    m_tmrCheck->setObjectName(QStringLiteral("tmrCheck"));
    m_tmrCheck->setSingleShot(true);
    m_tmrCheck->setInterval(kWriteCheckTime);
    connect(m_tmrCheck, &QTimer::timeout, this, [this] { tmrCheck_Timer(); });
    m_dialogs = DefaultUnitSettingDialogs(this);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(24);
    for (QPushButton* button : {cmdNowValue, cmdSetting, cmdInit}) {
        button->setMinimumSize(180, 36);
        buttons->addWidget(button, 1);
    }
    connect(cmdNowValue, &QPushButton::clicked, this, [this] { cmdNowValue_Click(); });
    connect(cmdSetting, &QPushButton::clicked, this, [this] { cmdSetting_Click(); });
    connect(cmdInit, &QPushButton::clicked, this, [this] { cmdInit_Click(); });

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(16, 8, 16, 16);
    page->setSpacing(12);
    page->addWidget(banner);
    page->addWidget(detect);
    page->addWidget(other);
    page->addStretch(1);
    page->addWidget(m_lblCheck);
    page->addLayout(checkRow);
    page->addLayout(buttons);

    // A new year or month changes the length of the day list; it then starts again at "1".
    for (const int list : {kYearList, kMonthList}) {
        connect(m_cmbUnitPara2[list], &QComboBox::currentIndexChanged, this, [this] { yearOrMonthChanged(); });
    }
}

void frmUnitSetting::Form_Load() {
    FillChoiceList(m_cmbUnitPara1[0], DetectModeTable);
    FillChoiceList(m_cmbUnitPara1[5], ConfirmCountTable);
    FillChoiceList(m_cmbUnitPara1[4], DetectTimeTable);
    FillChoiceList(m_cmbUnitPara1[1], V0LevelTable);
    FillChoiceList(m_cmbUnitPara1[2], I0LevelTable);
    FillChoiceList(m_cmbUnitPara1[3], PhaseRangeTable);

    // The OVGR entry exists only for a unit that reported the function by the time the screen opens.
    m_alarmListsHaveOvgr = m_data.NowValue.OvgrModeText == kOvgrPresent;
    for (const std::size_t list : {6U, 7U}) {
        if (m_alarmListsHaveOvgr) {
            FillChoiceList(m_cmbUnitPara1[list], AlarmCauseOvgrTable);
        } else {
            FillChoiceList(m_cmbUnitPara1[list], AlarmCauseTable);
        }
    }

    FillChoiceList(m_cmbUnitPara2[0], CyclicDispTable);
    FillChoiceList(m_cmbUnitPara2[1], LogOverwriteTable);

    FillNumberList(NumberKind::Year, m_cmbUnitPara2[kYearList]);
    FillNumberList(NumberKind::Month, m_cmbUnitPara2[kMonthList]);
    FillNumberList(NumberKind::Day, m_cmbUnitPara2[kDayList]);
    FillNumberList(NumberKind::Hour, m_cmbUnitPara2[kHourList]);
    FillNumberList(NumberKind::Minute, m_cmbUnitPara2[kMinuteList]);

    // The PC's date and time; a year the list does not hold selects the nearer end of the list.
    const QDateTime now = pcNow();
    selectNumber(m_cmbUnitPara2[kYearList], std::clamp(now.date().year(), kFirstYear, kLastYear) - kCentury);
    selectNumber(m_cmbUnitPara2[kMonthList], now.date().month());
    selectNumber(m_cmbUnitPara2[kDayList], now.date().day());
    selectNumber(m_cmbUnitPara2[kHourList], now.time().hour());
    selectNumber(m_cmbUnitPara2[kMinuteList], now.time().minute());

    m_option1[0]->setChecked(true);
}

void frmUnitSetting::FillChoiceList(QComboBox* list, std::span<const std::string_view> table) {
    list->clear();
    for (const std::string_view text : table) {
        list->addItem(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    list->setCurrentIndex(0);
}

void frmUnitSetting::FillNumberList(NumberKind kind, QComboBox* list) {
    int first = 0;
    int last = -1;
    switch (kind) {
        case NumberKind::Year:
            first = kFirstYear - kCentury;
            last = kLastYear - kCentury;
            break;
        case NumberKind::Month:
            first = 1;
            last = 12;
            break;
        case NumberKind::Day:
            first = 1;
            last = DaysInMonth(m_cmbUnitPara2[kYearList]->currentText().toStdString(),
                               m_cmbUnitPara2[kMonthList]->currentText().toStdString());
            break;
        case NumberKind::Hour:
            first = 0;
            last = 23;
            break;
        case NumberKind::Minute:
            first = 0;
            last = 59;
            break;
    }
    list->clear();
    for (int number = first; number <= last; ++number) {
        list->addItem(QString::number(number));
    }
    list->setCurrentIndex(list->count() > 0 ? 0 : -1);
}

QDateTime frmUnitSetting::pcNow() const { return (m_clock ? m_clock() : QDateTime::currentDateTime()).toLocalTime(); }

void frmUnitSetting::yearOrMonthChanged() { FillNumberList(NumberKind::Day, m_cmbUnitPara2[kDayList]); }

QComboBox* frmUnitSetting::settingList(std::size_t list) const {
    switch (static_cast<SettingList>(list)) {
        case SettingList::DetectMode:
            return m_cmbUnitPara1[0];
        case SettingList::V0Level:
            return m_cmbUnitPara1[1];
        case SettingList::I0Level:
            return m_cmbUnitPara1[2];
        case SettingList::PhaseRange:
            return m_cmbUnitPara1[3];
        case SettingList::DetectTime:
            return m_cmbUnitPara1[4];
        case SettingList::ConfirmCount:
            return m_cmbUnitPara1[5];
        case SettingList::CyclicDisp:
            return m_cmbUnitPara2[0];
        case SettingList::LogOverwrite:
            return m_cmbUnitPara2[1];
        case SettingList::AlarmOut1:
            return m_cmbUnitPara1[6];
        case SettingList::AlarmOut2:
            return m_cmbUnitPara1[7];
    }
    return nullptr;
}

void frmUnitSetting::Value_Click_getdata() {
    showMatches(MatchReportedSettings(m_data.NowValue, m_alarmListsHaveOvgr));
}

void frmUnitSetting::clearMarks() {
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        setListColour(settingList(list), Qt::white);
        settingList(list)->setToolTip({});
    }
    m_red.fill(false);
}

void frmUnitSetting::showMatches(const SettingMatches& matches) {
    clearMarks();
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        QComboBox* combo = settingList(list);
        combo->setCurrentIndex(matches[list].Position);
        m_red[list] = matches[list].Red;
        if (matches[list].Red) {
            setListColour(combo, Qt::red);
        }
    }
}

SettingPositions frmUnitSetting::selectedPositions() const {
    return PositionsFrom(
        [this](SettingList list) { return settingList(static_cast<std::size_t>(list))->currentIndex(); });
}
void frmUnitSetting::cmdNowValue_Click() { Value_Click_getdata(); }

void frmUnitSetting::cmdSetting_Click() {
    if (!linkUpOrSay()) {
        return;
    }
    // A red list shows a fallback, not what the unit holds: writing it into a protective relay is asked first.
    std::vector<SettingList> unreported;
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        if (m_red[list]) {
            unreported.push_back(static_cast<SettingList>(list));
        }
    }
    if (!unreported.empty()) {
        const QString question = QStringLiteral("本体から値が報告されていない設定があります：") + titlesOf(unreported) +
                                 QStringLiteral("\r\n") + QStringLiteral("表示中の値で書き込みますか？");
        if (ShowMsgDialog(question, QStringLiteral("確認"), this) != kDlgOk) {
            return;
        }
    }
    const SettingPositions positions = selectedPositions();

    ClockValue clock;
    if (m_option1[0]->isChecked()) {
        // The PC's time of this press, seconds included, not what the lists show.
        const QDateTime now = pcNow();
        clock = {now.date().year(), now.date().month(),  now.date().day(),
                 now.time().hour(), now.time().minute(), now.time().second()};
    } else {
        clock = {kCentury + entryNumber(m_cmbUnitPara2[kYearList]),
                 entryNumber(m_cmbUnitPara2[kMonthList]),
                 entryNumber(m_cmbUnitPara2[kDayList]),
                 entryNumber(m_cmbUnitPara2[kHourList]),
                 entryNumber(m_cmbUnitPara2[kMinuteList]),
                 0};
    }

    // Decided now, after the question above: the link may have gone while it was open.
    if (placedOrSay(m_commands.WriteSettings(EncodeSettings(positions, clock)))) {
        startCheck(positions);
    }
}

void frmUnitSetting::cmdInit_Click() {
    if (!linkUpOrSay()) {
        return;
    }
    const std::int16_t answer = ShowMsgDialog(QStringLiteral("本体の時計以外の設定が初期化されます。") +
                                                  QStringLiteral("\r\n") + QStringLiteral("よろしいですか？"),
                                              QStringLiteral("確認"), this);
    if (answer != kDlgCancel && placedOrSay(m_commands.Initialise())) {
        startCheck(InitialSettings());
    }
    // Back to the normal pointer, should a wait cursor have been left up.
    while (QApplication::overrideCursor() != nullptr && QApplication::overrideCursor()->shape() == Qt::WaitCursor) {
        QApplication::restoreOverrideCursor();
    }
}

bool frmUnitSetting::linkUpOrSay() {
    if (m_data.LinkUp == kTrue) {
        return true;
    }
    // Queued, it would leave whenever the unit came back, carrying the clock of this moment.
    stopCheckSaying(QStringLiteral("OFF LINE のため送信しません。本体との通信が戻ってから押してください。"));
    return false;
}

void frmUnitSetting::stopCheckSaying(const QString& why) {
    m_check.reset();
    m_tmrCheck->stop();
    m_lblCheck->setText(why);
}

bool frmUnitSetting::placedOrSay(CommandResult result) {
    switch (result) {
        case CommandResult::Queued:
            return true;
        case CommandResult::OffLine:
            return linkUpOrSay();
        case CommandResult::Busy:
            stopCheckSaying(
                QStringLiteral("ログ収集中または送信待ちのため送信しません。しばらくしてから押してください。"));
            return false;
        case CommandResult::NotApplicable:  // a write or initialise always applies
            return false;
    }
    return false;
}

void frmUnitSetting::CommandTakenBack() {
    stopCheckSaying(
        QStringLiteral("本体との通信が切れたため送信しませんでした。本体との通信が戻ってから押してください。"));
}

void frmUnitSetting::startCheck(const SettingPositions& expected) {
    m_check.emplace(expected, m_alarmListsHaveOvgr);
    m_tmrCheck->start();
    showCheck();
}

void frmUnitSetting::RequestWent(std::uint8_t code) {
    if (m_check && (code == kReqWriteSettings || code == kReqInitialise)) {
        m_check->RequestWent();
    }
}

void frmUnitSetting::NowValueArrived() {
    if (!m_check) {
        return;
    }
    m_check->AnswerArrived(m_data.NowValue);
    if (m_check->Decided()) {
        m_tmrCheck->stop();
    }
    showCheck();
}

void frmUnitSetting::tmrCheck_Timer() {
    if (!m_check) {
        return;
    }
    m_check->TimeUp();
    showCheck();
}

void frmUnitSetting::showCheck() {
    switch (m_check->State()) {
        case WriteCheckState::Waiting:
        case WriteCheckState::Watching:
            m_lblCheck->setText(QStringLiteral("本体の応答を確認しています..."));
            return;
        case WriteCheckState::Applied:
            m_lblCheck->setText(QStringLiteral("設定が反映されました"));
            return;
        case WriteCheckState::Differs:
            m_lblCheck->setText(QStringLiteral("本体の値が書き込んだ値と異なります：") +
                                titlesOf(m_check->DifferingFields()));
            return;
        case WriteCheckState::NoAnswer:
            m_lblCheck->setText(QStringLiteral("本体から応答がありません"));
            return;
    }
}

QString frmUnitSetting::CheckText() const { return m_lblCheck->text(); }

void frmUnitSetting::cmdCompare_Click() {
    const SettingComparison comparison = CompareWithReport(selectedPositions(), m_data.NowValue, m_alarmListsHaveOvgr);
    int differing = 0;
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        QComboBox* combo = settingList(list);
        const ListComparison& c = comparison[list];
        combo->setToolTip(QStringLiteral("本体の値：") +
                          (c.UnitText.empty() ? QStringLiteral("（報告なし）") : QString::fromStdString(c.UnitText)));
        // A red list keeps its red: it says more than a difference does.
        if (!m_red[list]) {
            setListColour(combo, c.Differs ? kDifferColour : QColor(Qt::white));
        }
        differing += c.Differs ? 1 : 0;
    }
    m_lblCheck->setText(differing == 0 ? QStringLiteral("本体と同じ設定です")
                                       : QStringLiteral("本体と異なる設定：%1件").arg(differing));
}

void frmUnitSetting::cmdSaveFile_Click() {
    const QDateTime now = pcNow();
    const QString name = m_dialogs.chooseSaveFile(now.toString(QStringLiteral("'設定_'yyyyMMdd_HHmm'.json'")));
    if (name.isEmpty()) {
        return;
    }
    SettingsFile file;
    for (std::size_t list = 0; list < kSettingListCount; ++list) {
        file.Texts[list] = settingList(list)->currentText().toStdString();
    }
    file.OvgrFunction = m_data.NowValue.OvgrModeText;
    file.SavedAt = now.toString(Qt::ISODate).left(19).toStdString();
    file.Port = m_data.PortNo >= 0 ? "COM" + std::to_string(m_data.PortNo) : std::string();
    file.ProgramVersion = kVersionText;
    const std::string bytes = FormatSettingsFile(file);
    const std::optional<SafeWriteStatus> status = SaveAskingAboutReadOnly(
        [&](ReadOnlyTarget readOnly) { return WriteFileSafely(NativeFilePath(name), bytes, readOnly); },
        [&] { return m_dialogs.replaceReadOnly && m_dialogs.replaceReadOnly(name); });
    if (!status) {
        return;
    }
    if (*status != SafeWriteStatus::Ok) {
        m_dialogs.notice(QString::fromUtf8(kFileTitle),
                         QStringLiteral("ファイルに保存できませんでした。元のファイルはそのままです。\n") + name +
                             SaveCauseLine(*status));
        return;
    }
    m_lblCheck->setText(QStringLiteral("ファイルに保存しました"));
}

void frmUnitSetting::cmdLoadFile_Click() {
    const QString name = m_dialogs.chooseOpenFile();
    if (name.isEmpty()) {
        return;
    }
    // One byte past the limit is enough to know that a file is too large. A named pipe or a device is refused
    // before it is read: waiting on it would freeze the window.
    const FileRead source = ReadRegularFile(NativeFilePath(name), kSettingsFileMaxBytes + 1);
    if (source.Status != FileReadStatus::Ok) {
        m_dialogs.notice(QString::fromUtf8(kFileTitle), QStringLiteral("ファイルを開けませんでした。\n") + name +
                                                            (source.Status == FileReadStatus::NotRegularFile
                                                                 ? SaveCauseLine(SafeWriteStatus::NotRegularFile)
                                                                 : QString()));
        return;
    }
    const SettingsFileRead read = ParseSettingsFile(source.Bytes);
    if (read.Error != SettingsFileError::None) {
        m_dialogs.notice(QString::fromUtf8(kFileTitle), fileErrorText(read) + QStringLiteral("\n") + name);
        return;
    }
    const LoadedSelection selection = SelectFileTexts(read.File, m_alarmListsHaveOvgr);
    showMatches(selection.Matches);
    if (selection.Unknown.empty()) {
        m_lblCheck->setText(QStringLiteral("ファイルから読み込みました"));
    } else {
        m_lblCheck->setText(QStringLiteral("ファイルの値を選べなかった設定：") + titlesOf(selection.Unknown));
    }
}

UnitSettingDialogs DefaultUnitSettingDialogs(QWidget* parent) {
    const QString filter = QStringLiteral("設定ファイル(*.json)");
    UnitSettingDialogs dialogs;
    dialogs.chooseSaveFile = [parent, filter](const QString& proposedName) {
        QFileDialog dialog(parent, QStringLiteral("ファイルに保存"), proposedName, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("json"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                       : QString();
    };
    dialogs.chooseOpenFile = [parent, filter] {
        return QFileDialog::getOpenFileName(parent, QStringLiteral("ファイルから読込"), {}, filter);
    };
    dialogs.notice = [parent](const QString& title, const QString& text) { ShowWarningBox(parent, title, text); };
    dialogs.replaceReadOnly = [parent](const QString& fileName) { return AskReplaceReadOnly(parent, fileName); };
    return dialogs;
}

}  // namespace tessarin
