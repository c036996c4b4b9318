#include "shell/CFTPPage.h"

#include "app/Settings.h"
#include "ui_CFTPPage.h"

using namespace PreferenceRules;

CFTPPage::CFTPPage(QWidget* parent) : COptionPage(parent), m_ui(std::make_unique<Ui::CFTPPage>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("addressBookPage"));
    AddNumberField(m_ui->updateIntervalField, kUpdateInterval);
    EnableWith(m_ui->updateCheck,
               {m_ui->updateIntervalField, m_ui->serverField, m_ui->usernameField,
                m_ui->passwordField, m_ui->ftpDirectoryField});
    WhenLeft(m_ui->ftpDirectoryField, [this](Qt::FocusReason) {
        m_ui->ftpDirectoryField->setText(WithServerSeparator(m_ui->ftpDirectoryField->text()));
    });
}

CFTPPage::~CFTPPage() = default;

void CFTPPage::Load(const Settings& settings) {
    m_ui->updateCheck->setChecked(settings.m_bUpdateAddressBook != 0);
    SetNumber(m_ui->updateIntervalField, settings.m_nUpdateInterval);
    m_ui->serverField->setText(settings.m_strFtpServer);
    m_ui->usernameField->setText(settings.m_strFtpUsername);
    m_ui->passwordField->setText(settings.m_strFtpPassword);
    m_ui->ftpDirectoryField->setText(settings.m_strFtpDirectory);
}

void CFTPPage::Save(Settings& settings) const {
    settings.m_bUpdateAddressBook = m_ui->updateCheck->isChecked() ? 1 : 0;
    settings.m_nUpdateInterval = Number(m_ui->updateIntervalField);
    settings.m_strFtpServer = m_ui->serverField->text();
    settings.m_strFtpUsername = m_ui->usernameField->text();
    settings.m_strFtpPassword = m_ui->passwordField->text();
    settings.m_strFtpDirectory = WithServerSeparator(m_ui->ftpDirectoryField->text());
}
