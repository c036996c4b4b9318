#pragma once

#include <QMdiSubWindow>

// The window around each log view inside the main window.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);

    // The geometry the frame has, or last had, in its normal state (neither minimised nor
    // maximised): what its saved placement records.
    QRect NormalGeometry() const { return m_normalGeometry; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Track();

    QRect m_normalGeometry;
};
