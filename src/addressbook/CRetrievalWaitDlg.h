#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CRetrievalWaitDlg;
}

// Shown while Address/Get runs: what the run is doing, and a Cancel button, so that a server
// that answers slowly does not keep the user waiting under the wait cursor.
class CRetrievalWaitDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRetrievalWaitDlg(QWidget* parent = nullptr);
    ~CRetrievalWaitDlg() override;

    // The run's latest status text.
    void ShowProgress(const QString& text);

    // Cancel, Escape or the window's close button: asks the run to stop. The dialog stays
    // until the run has ended (at its next wait), which closes it.
    void reject() override;

Q_SIGNALS:
    void cancelRequested();

private:
    std::unique_ptr<Ui::CRetrievalWaitDlg> m_ui;
    bool m_bCancelled = false;
};
