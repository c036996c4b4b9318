#pragma once

#include <QDialog>

class RegistryStore;
struct Settings;

// What the three address-book dialogs share: a window of its own (not a child of the main
// window, so it stays up while that is minimised or hidden) in the main window's band, the
// book icon, and its place on the screen kept under its name from one opening to the next.
class CBookDialog : public QDialog {
    Q_OBJECT
public:
    CBookDialog(const Settings& settings, const RegistryStore& store, const QString& placementName,
                QWidget* parent = nullptr);
    ~CBookDialog() override;

protected:
    // Puts the window where it was last time (its state is not taken over); call once the
    // window is laid out.
    void RestorePlacement();

private:
    const RegistryStore& m_store;
    QString m_strPlacementName;
};
