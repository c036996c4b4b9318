#include "addressbook/CRetrievalWaitDlg.h"

#include <QPushButton>

#include "ui_CRetrievalWaitDlg.h"

CRetrievalWaitDlg::CRetrievalWaitDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CRetrievalWaitDlg>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("retrievalWaitDialog"));
    setAccessibleName(tr("Getting address books"));
    QPushButton* cancel = m_ui->buttonBox->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAccessibleName(tr("Cancel getting address books"));
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &CRetrievalWaitDlg::reject);
}

CRetrievalWaitDlg::~CRetrievalWaitDlg() = default;

void CRetrievalWaitDlg::ShowProgress(const QString& text) {
    if (!m_bCancelled)
        m_ui->progressLabel->setText(text);
}

void CRetrievalWaitDlg::reject() {
    if (m_bCancelled)
        return;
    m_bCancelled = true;
    m_ui->progressLabel->setText(tr("Cancelling..."));
    m_ui->buttonBox->button(QDialogButtonBox::Cancel)->setEnabled(false);
    Q_EMIT cancelRequested();
}
