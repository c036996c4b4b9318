#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CConfirmRetrievalDlg;
}

// Shows the server, user name and directory a retrieval is about to use (not the password),
// for the user to confirm.
class CConfirmRetrievalDlg : public QDialog {
    Q_OBJECT
public:
    CConfirmRetrievalDlg(const QString& server, const QString& username, const QString& directory,
                         QWidget* parent = nullptr);
    ~CConfirmRetrievalDlg() override;

    // Tests answer the dialog in place of a user: true for OK.
    using Answerer = std::function<bool(const CConfirmRetrievalDlg&)>;
    static void SetAnswerer(Answerer answerer);
    // exec(), or the answerer's answer when one is set.
    bool Confirm();

private:
    std::unique_ptr<Ui::CConfirmRetrievalDlg> m_ui;
};
