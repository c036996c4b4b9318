#pragma once

#include <memory>

#include "shell/COptionPage.h"

namespace Ui {
class CDataPage;
}

// "Log": the periodic save, the data directory and the main window's band.
class CDataPage : public COptionPage {
    Q_OBJECT
public:
    explicit CDataPage(QWidget* parent = nullptr);
    ~CDataPage() override;

    void Load(const Settings& settings) override;
    void Save(Settings& settings) const override;

    // When the user changed the data directory, makes sure it can be used; otherwise says why
    // and selects the field.
    bool PrepareDirectory();

private:
    void ChooseDirectory();
    QString Directory() const;

    std::unique_ptr<Ui::CDataPage> m_ui;
    QString m_strGivenDirectory;
};
