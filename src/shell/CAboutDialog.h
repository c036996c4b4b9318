#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDialog;
}

// The About box: the program icon, its version and a few words on where to get help.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    ~CAboutDialog() override;

private:
    std::unique_ptr<Ui::CAboutDialog> m_ui;
};
