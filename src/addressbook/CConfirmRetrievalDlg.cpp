#include "addressbook/CConfirmRetrievalDlg.h"

#include "shell/ControlNames.h"
#include "ui_CConfirmRetrievalDlg.h"

namespace {
CConfirmRetrievalDlg::Answerer g_answerer;
}

CConfirmRetrievalDlg::CConfirmRetrievalDlg(const QString& server, const QString& username,
                                           const QString& directory, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CConfirmRetrievalDlg>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("confirmRetrievalDialog"));
    setAccessibleName(tr("Confirm getting address books"));
    m_ui->serverField->setText(server);
    m_ui->usernameField->setText(username);
    m_ui->directoryField->setText(directory);
    ControlNames::NameStandardButtons(m_ui->buttonBox);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CConfirmRetrievalDlg::~CConfirmRetrievalDlg() = default;

void CConfirmRetrievalDlg::SetAnswerer(Answerer answerer) {
    g_answerer = std::move(answerer);
}

bool CConfirmRetrievalDlg::Confirm() {
    if (g_answerer)
        return g_answerer(*this);
    return exec() == QDialog::Accepted;
}
