#pragma once

#include <QPointer>
#include <QTextCursor>
#include <QWidget>

class CQuillpadView;
class QLabel;
class QPushButton;

// The one window that stands for the received notes that got no window of their own: it says
// how many there are and brings the log forward at the first of them. It holds those notes as
// unanswered until it closes, by its Close or by showing them in the log.
class NoteNotice : public QWidget {
    Q_OBJECT
public:
    // windowLimit: how many note windows may be open at once, which the notice mentions.
    NoteNotice(int windowLimit, bool alwaysOnTop);
    ~NoteNotice() override;

    // One more note without a window. The first one's place in the log is where the notice
    // leads: at is a cursor in view's document where that note's lines begin.
    void AddNote(CQuillpadView* view, const QTextCursor& at);
    int Count() const { return m_nCount; }

Q_SIGNALS:
    // The button: the log is to be shown with the note that begins at at selected.
    void showInLogRequested(CQuillpadView* view, const QTextCursor& at);
    // The notice has closed; count notes stop counting as unanswered.
    void noticeClosed(int count);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void UpdateText();
    void OnShowInLog();

    QLabel* m_text = nullptr;
    QPushButton* m_showButton = nullptr;
    const int m_nWindowLimit;
    int m_nCount = 0;
    QPointer<CQuillpadView> m_view;
    QTextCursor m_first;
    bool m_bClosed = false;
};
