#include "kes_toolbar/lidar_toolbar.h"

#include "kes_toolbar/lidar_upgrade.h"
#include "ui_lidartoolbar.h"

#include <kes_logic/lidar_logic.h>

#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QEvent>
#include <QIntValidator>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QToolTip>

namespace {

// A job is only ever inside one LidarLogic call when the tool bar closes, and the longest
// is a connect to a silent address: the 8000 ms handshake and the 1000 ms pause after it.
constexpr int kWorkerBoundMs = 10000;
constexpr int kUpgradeBoundMs = 3000;

const char* const kIpPattern =
    "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\b";

} // namespace

LidarToolBar::LidarToolBar(QWidget* parent) : QWidget(parent), ui(new Ui::LidarToolBar)
{
    ui->setupUi(this);
    prepareWidgets();
    initConnect();
    QDir().mkpath(QCoreApplication::applicationDirPath() + QStringLiteral("/Screenshots/"));
}

LidarToolBar::~LidarToolBar()
{
    if (!workers_.closeAndWait(kWorkerBoundMs))
        qWarning() << "tool bar jobs still running";
    closeUpgrade();
    ui->stateLabel->removeEventFilter(this);
    delete ui;
}

void LidarToolBar::prepareWidgets()
{
    ui->stateLabel->setAttribute(Qt::WA_Hover, true);
    ui->stateLabel->installEventFilter(this);
    showIndicator(false);
    ui->lineEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(kIpPattern)), this));
    ui->checkBox->setEnabled(false);
    ui->horizontalSlider->setEnabled(false);
    ui->horizontalSlider->setRange(0, 5);
    ui->filterEdit->setEnabled(false);
    ui->filterEdit->setText(QStringLiteral("0"));
    ui->filterEdit->setValidator(new QIntValidator(0, 5, this));
    ui->comboBox->setCurrentIndex(2);
    ui->line_3->hide();
    ui->block_sum_label->hide();
    ui->block_lose_label->hide();
    ui->updateButton->hide();
    ui->toolButton_language->setCheckable(true);
    ui->toolButton_language->setIcon(QIcon(toolBarTexts(false).language_icon));
}

void LidarToolBar::initConnect()
{
    connect(ui->toolButton_language, &QToolButton::clicked, this, &LidarToolBar::languageBtnSelected);
    connect(ui->updateButton, &QPushButton::clicked, this, &LidarToolBar::update_clicked);
    connect(ui->switchButton, &QToolButton::clicked, this, &LidarToolBar::switchButtonClicked);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, [this](const QString& text) { logic_->ip_addr_ = text; });
    connect(ui->comboBox, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { logic_->scan_frequency_ = text.toInt(); });
    connect(ui->mode_comBox, &QComboBox::currentTextChanged, this,
            [this] { logic_->setColorMode(uint32_t(ui->mode_comBox->currentIndex())); });
    connect(ui->directionBox, &QComboBox::currentTextChanged, this,
            [this] { logic_->scan_direction_ = ui->directionBox->currentIndex(); });
    connect(ui->pushButton, &QPushButton::clicked, this, &LidarToolBar::settingsClicked);
    connect(ui->checkBox, &QCheckBox::clicked, this, &LidarToolBar::filterSwitched);
    connect(ui->horizontalSlider, &QSlider::valueChanged, this, &LidarToolBar::filterLevelChanged);
    connect(ui->filterEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (logic_->connected_)
            ui->horizontalSlider->setValue(text.toInt());
    });
}

void LidarToolBar::setLogic(LidarLogic* logic)
{
    logic_ = logic;
    ui->lineEdit->setEnabled(false);
    ui->lineEdit->setReadOnly(true);
    ui->comboBox->setCurrentText(QString::number(logic_->scan_frequency_));
    ui->directionBox->setCurrentIndex(logic_->scan_direction_);
    connectLogicSignals();
}

void LidarToolBar::connectLogicSignals()
{
    connect(logic_, &LidarLogic::sendScanFrequency, this,
            [this](int hz) { ui->comboBox->setCurrentText(QString::number(hz)); });
    connect(logic_, &LidarLogic::sendScanDirectionStatus, this,
            [this](int direction) { ui->directionBox->setCurrentIndex(direction); });
    connect(logic_, &LidarLogic::sendBlockSum, this, [this](uint32_t sum, uint32_t lost) {
        ui->block_sum_label->setText(QString::number(sum));
        ui->block_lose_label->setText(QString::number(lost));
    });
    connect(logic_, &LidarLogic::sendState, this, &LidarToolBar::reactToState);
}

bool LidarToolBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->stateLabel && logic_) {
        // Chinese in both languages.
        if (event->type() == QEvent::HoverEnter)
            QToolTip::showText(QCursor::pos(),
                               logic_->connected_ ? QStringLiteral("连接成功") : QStringLiteral("未连接"));
        else if (event->type() == QEvent::HoverLeave)
            QToolTip::showText(QCursor::pos(), QString());
    }
    return false;
}

void LidarToolBar::switchButtonClicked()
{
    if (logic_->connected_) {
        disconncetThread();
    } else if (!ui->lineEdit->text().isEmpty()) {
        connectThread();
    } else {
        showMessage(ToolBarMessage::IpNotFound);
        ui->lineEdit->setText(logic_->ip_addr_);
        ui->lineEdit->setEnabled(true);
        ui->lineEdit->setReadOnly(false);
    }
}

void LidarToolBar::receiveIP(QString ip)
{
    if (!ui->lineEdit->isEnabled())
        ui->lineEdit->setEnabled(true);
    ui->lineEdit->setText(ip);
}

void LidarToolBar::languageBtnSelected()
{
    showIndicator(false);
    const bool english = ui->toolButton_language->isChecked();
    applyTexts(toolBarTexts(english));
    emit sig_language(english ? 0 : 1);
    language_ = english;
}

namespace {

// Item by item, so the box's handlers see each step. The box is then held to the width of
// its new items: a combo box keeps the minimum width of the items it first showed, which
// the tight English row cannot spare.
void refill(QComboBox* box, const QStringList& items)
{
    box->clear();
    for (const QString& item : items)
        box->addItem(item);
    box->setMinimumWidth(box->sizeHint().width());
}

} // namespace

void LidarToolBar::applyTexts(const ToolBarTexts& texts)
{
    ui->toolButton_language->setIcon(QIcon(texts.language_icon));
    ui->label_2->setText(texts.scan_frequency);
    ui->DirenctionLabel->setText(texts.direction);
    refill(ui->directionBox, texts.directions);
    ui->pushButton->setText(texts.confirm);
    ui->checkBox->setText(texts.filter);
    refill(ui->mode_comBox, texts.colour_modes);
    ui->label_3->setText(texts.software);
    ui->label_4->setText(texts.hardware);
}

void LidarToolBar::update_clicked()
{
    qDebug() << "update_click";
    // A window whose threads still run is shown again rather than replaced.
    if (upgrade_ && upgrade_->hasRunningWorkers()) {
        upgrade_->show();
        upgrade_->raise();
        return;
    }
    delete upgrade_;
    upgrade_ = new Lidar_Upgrade();
    upgrade_->setAttribute(Qt::WA_QuitOnClose, false);
    upgrade_->show();
    upgrade_->setLogic(logic_);
}

void LidarToolBar::closeUpgrade()
{
    if (!upgrade_)
        return;
    if (upgrade_->finishWorkers(kUpgradeBoundMs))
        delete upgrade_;
    else
        qWarning() << "upgrade window left open: its threads still run";
    upgrade_ = nullptr;
}
