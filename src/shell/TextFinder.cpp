#include "shell/TextFinder.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

namespace {

QTextDocument::FindFlags Flags(const FindOptions& options) {
    QTextDocument::FindFlags flags;
    if (options.m_bMatchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (options.m_bWholeWord)
        flags |= QTextDocument::FindWholeWords;
    if (!options.m_bSearchDown)
        flags |= QTextDocument::FindBackward;
    return flags;
}

bool SelectMatch(QPlainTextEdit& editor, const QString& what, const QTextCursor& from,
                 const FindOptions& options) {
    if (what.isEmpty())
        return false;
    const QTextCursor found = editor.document()->find(what, from, Flags(options));
    if (found.isNull())
        return false;
    editor.setTextCursor(found);
    editor.ensureCursorVisible();
    return true;
}

bool IsMatch(const QPlainTextEdit& editor, const QTextCursor& selection, const QString& what,
             const FindOptions& options) {
    if (what.isEmpty() || selection.selectionEnd() - selection.selectionStart() != what.size())
        return false;
    const Qt::CaseSensitivity cs = options.m_bMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (selection.selectedText().compare(what, cs) != 0)
        return false;
    // The document's own search decides whole words, so that both agree on what a word is.
    FindOptions forward = options;
    forward.m_bSearchDown = true;
    const QTextCursor found =
        editor.document()->find(what, selection.selectionStart(), Flags(forward));
    return found.selectionStart() == selection.selectionStart() &&
           found.selectionEnd() == selection.selectionEnd();
}

}  // namespace

bool FindNext(QPlainTextEdit& editor, const QString& what, const FindOptions& options) {
    return SelectMatch(editor, what, editor.textCursor(), options);
}

bool FindFirst(QPlainTextEdit& editor, const QString& what, const FindOptions& options) {
    QTextCursor from(editor.document());
    from.movePosition(options.m_bSearchDown ? QTextCursor::Start : QTextCursor::End);
    return SelectMatch(editor, what, from, options);
}

bool ReplaceSelection(QPlainTextEdit& editor, const QString& what, const QString& with,
                      const FindOptions& options) {
    QTextCursor cursor = editor.textCursor();
    if (!IsMatch(editor, cursor, what, options))
        return false;
    const int start = cursor.selectionStart();
    cursor.insertText(with);
    // Searching up goes on before the new text, so that it never finds itself in it.
    if (!options.m_bSearchDown)
        cursor.setPosition(start);
    editor.setTextCursor(cursor);
    return true;
}

bool ReplaceAndFindNext(QPlainTextEdit& editor, const QString& what, const QString& with,
                        const FindOptions& options) {
    ReplaceSelection(editor, what, with, options);
    return FindNext(editor, what, options);
}

int ReplaceAll(QPlainTextEdit& editor, const QString& what, const QString& with,
               const FindOptions& options) {
    if (what.isEmpty())
        return 0;
    QTextDocument* document = editor.document();
    FindOptions forward = options;
    forward.m_bSearchDown = true;
    const QTextDocument::FindFlags flags = Flags(forward);
    QTextCursor block(document);
    block.beginEditBlock();
    int count = 0;
    // Each search goes on after the text just put in, so a replacement that contains the
    // searched text is not replaced again.
    for (QTextCursor found = document->find(what, 0, flags); !found.isNull();
         found = document->find(what, found, flags)) {
        found.insertText(with);
        ++count;
    }
    block.endEditBlock();
    return count;
}
