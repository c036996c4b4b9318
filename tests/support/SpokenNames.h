#pragma once

// What a screen reader says for each control of a window: its accessible name. A control must
// have one in words, never nothing and never its object name, which is for code and tests.
#include <QAbstractScrollArea>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSplitter>
#include <QStackedWidget>
#include <QString>
#include <QStringList>
#include <QToolBar>
#include <QWidget>

namespace spoken {

// Widgets that may go without a name of their own, because they are no control a person
// names. Their children are still walked, and even these never speak their object name.
// - Qt's own helpers, whose object names begin with "qt_" (a scroll area's viewport and
//   scroll-bar holders, a tool bar's extension button, a tab widget's bar and stack, a message
//   box's text and icon), and the menu such a helper pops up;
// - the parts Qt adds to a scroll area: its scroll bars and an item view's header;
// - plain containers that only lay others out: exactly QWidget, QFrame, QSplitter,
//   QStackedWidget or QDialogButtonBox;
// - decorations: a tool bar's separators, size grips;
// - labels, which are captions or pictures and are spoken by their own text.
inline bool MayGoUnnamed(const QWidget& widget) {
    const auto qtHelper = [](const QWidget* w) {
        return w && w->objectName().startsWith(QLatin1String("qt_"));
    };
    const QWidget* parent = widget.parentWidget();
    if (qtHelper(&widget) || (qobject_cast<const QMenu*>(&widget) && qtHelper(parent)))
        return true;
    if ((qobject_cast<const QScrollBar*>(&widget) || qobject_cast<const QHeaderView*>(&widget)) &&
        (qobject_cast<const QAbstractScrollArea*>(parent) || qtHelper(parent)))
        return true;
    for (const QMetaObject* container :
         {&QWidget::staticMetaObject, &QFrame::staticMetaObject, &QSplitter::staticMetaObject,
          &QStackedWidget::staticMetaObject, &QDialogButtonBox::staticMetaObject}) {
        if (widget.metaObject() == container)
            return true;
    }
    if (auto* bar = qobject_cast<const QToolBar*>(parent)) {
        for (QAction* action : bar->actions()) {
            if (action->isSeparator() && bar->widgetForAction(action) == &widget)
                return true;
        }
    }
    return qobject_cast<const QSizeGrip*>(&widget) || qobject_cast<const QLabel*>(&widget);
}

inline QString Describe(const QWidget& widget) {
    const QWidget* parent = widget.parentWidget();
    return QStringLiteral("%1 \"%2\" in %3 \"%4\" named \"%5\"")
        .arg(QLatin1String(widget.metaObject()->className()), widget.objectName(),
             QLatin1String(parent ? parent->metaObject()->className() : "nothing"),
             parent ? parent->objectName() : QString(), widget.accessibleName());
}

// The window and every widget in it that a screen reader would announce by nothing or by a
// name in code.
inline QStringList Unspoken(const QWidget& window) {
    QList<const QWidget*> widgets{&window};
    for (const QWidget* child : window.findChildren<QWidget*>())
        widgets.append(child);
    QStringList unspoken;
    for (const QWidget* widget : widgets) {
        const QString name = widget->accessibleName();
        // An object name, or anything written like one ("sendButton").
        static const QRegularExpression camelCase(QStringLiteral("[a-z][A-Z]"));
        const bool codeName = (!widget->objectName().isEmpty() && name == widget->objectName()) ||
                              name.contains(camelCase);
        if (codeName || (name.trimmed().isEmpty() && !MayGoUnnamed(*widget)))
            unspoken << Describe(*widget);
    }
    return unspoken;
}

}  // namespace spoken
