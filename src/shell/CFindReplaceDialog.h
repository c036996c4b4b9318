#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <memory>

#include "shell/TextFinder.h"

class QPlainTextEdit;

namespace Ui {
class CFindReplaceDialog;
}

// The modeless Find and Replace box. It searches whichever editor it was last given and keeps
// the last search, so that Find Next can repeat it without the box. Hiding it keeps it for
// the next use.
class CFindReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFindReplaceDialog(QWidget* parent = nullptr);
    ~CFindReplaceDialog() override;

    void SetEditor(QPlainTextEdit* editor);
    // Shows and raises the box in Find mode, "Find what" filled with the editor's selection
    // when that is one line.
    void ShowFind();
    // The same in Replace mode.
    void ShowReplace();
    // Repeats the last search; without one, shows the box in Find mode.
    bool FindNext();

private:
    void Show(bool replace);
    FindOptions Options() const;
    void Remember();
    bool Search(const QString& what, const FindOptions& options);
    void TellFinished();
    void UpdateButtons();
    void OnFindNextClicked();
    void OnReplaceClicked();
    void OnReplaceAllClicked();

    std::unique_ptr<Ui::CFindReplaceDialog> m_ui;
    QPointer<QPlainTextEdit> m_editor;
    bool m_bReplaceMode = false;
    bool m_bHasLastSearch = false;
    QString m_lastWhat;
    FindOptions m_lastOptions;
    // Set once the user has been told the search ran past the end: the next one wraps round.
    bool m_bWrapPending = false;
};
