#pragma once

#include <QMdiSubWindow>
#include <functional>

// The window around each log view inside the main window.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);

    // The geometry the frame has, or last had, in its normal state (neither minimised nor
    // maximised): what its saved placement records.
    QRect NormalGeometry() const { return m_normalGeometry; }

    // Asked when the window is about to close; false keeps it open.
    void SetCloseHandler(std::function<bool()> handler) { m_closeHandler = std::move(handler); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Track();

    QRect m_normalGeometry;
    std::function<bool()> m_closeHandler;
};
