#include "addressbook/CConfirmRetrievalDlg.h"

#include <QPushButton>

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
    for (auto [button, name] : {std::pair{QDialogButtonBox::Ok, "okButton"},
                                std::pair{QDialogButtonBox::Cancel, "cancelButton"}}) {
        QPushButton* widget = m_ui->buttonBox->button(button);
        widget->setObjectName(QLatin1String(name));
        // What a screen reader says: the button's own words, not its name in the code.
        widget->setAccessibleName(widget->text().remove(QLatin1Char('&')));
    }
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
