#include "shell/CCommPage.h"

#include "app/Settings.h"
#include "ui_CCommPage.h"

using namespace PreferenceRules;

CCommPage::CCommPage(QWidget* parent)
    : COptionPage(parent), m_ui(std::make_unique<Ui::CCommPage>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("communicationPage"));
    AddNumberField(m_ui->portField, kPort);
    AddNumberField(m_ui->timeoutField, kSocketTimeout);
    AddNumberField(m_ui->broadcastIntervalField, kBroadcastInterval);
    AddNumberField(m_ui->broadcastPortField, kPort);
    EnableWith(m_ui->broadcastCheck, {m_ui->broadcastPortField, m_ui->broadcastIntervalField});
}

CCommPage::~CCommPage() = default;

void CCommPage::Load(const Settings& settings) {
    SetNumber(m_ui->portField, settings.m_nPort);
    SetNumber(m_ui->timeoutField, settings.m_nSocketTimeout);
    m_ui->broadcastCheck->setChecked(settings.m_bBroadcast != 0);
    SetNumber(m_ui->broadcastIntervalField, settings.m_nBroadcastInterval);
    SetNumber(m_ui->broadcastPortField, settings.m_nBroadcastPort);
}

void CCommPage::Save(Settings& settings) const {
    settings.m_nPort = Number(m_ui->portField);
    settings.m_nSocketTimeout = Number(m_ui->timeoutField);
    settings.m_bBroadcast = m_ui->broadcastCheck->isChecked() ? 1 : 0;
    settings.m_nBroadcastInterval = Number(m_ui->broadcastIntervalField);
    settings.m_nBroadcastPort = Number(m_ui->broadcastPortField);
}
