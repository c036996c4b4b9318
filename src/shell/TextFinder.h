#pragma once

#include <QString>

class QPlainTextEdit;

struct FindOptions {
    bool m_bMatchCase = false;
    bool m_bWholeWord = false;
    bool m_bSearchDown = true;
};

// Searches a text editor from its caret or selection in the given direction and selects the
// next match. False when the search has run past the end (or the start, searching up)
// without a further match.
bool FindNext(QPlainTextEdit& editor, const QString& what, const FindOptions& options);

// The same from the start of the document (its end, searching up), whatever the caret; the
// editor is left as it was when there is no match.
bool FindFirst(QPlainTextEdit& editor, const QString& what, const FindOptions& options);

// Replaces the current selection when it is a match; true when it did. The caret is left where
// a search in the given direction should go on.
bool ReplaceSelection(QPlainTextEdit& editor, const QString& what, const QString& with,
                      const FindOptions& options);

// Replaces the current selection when it is a match, then finds the next one.
bool ReplaceAndFindNext(QPlainTextEdit& editor, const QString& what, const QString& with,
                        const FindOptions& options);

// Replaces every match in the whole document as one undo step; returns how many.
int ReplaceAll(QPlainTextEdit& editor, const QString& what, const QString& with,
               const FindOptions& options);
