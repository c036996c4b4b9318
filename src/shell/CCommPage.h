#pragma once

#include <memory>

#include "shell/COptionPage.h"

namespace Ui {
class CCommPage;
}

// "Communication": the note port and time-out, and the logon announcement.
class CCommPage : public COptionPage {
    Q_OBJECT
public:
    explicit CCommPage(QWidget* parent = nullptr);
    ~CCommPage() override;

    void Load(const Settings& settings) override;
    void Save(Settings& settings) const override;

private:
    std::unique_ptr<Ui::CCommPage> m_ui;
};
