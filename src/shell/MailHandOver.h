#pragma once

#include <QObject>
#include <QString>

// Hands a file to the desktop's mail program as an attachment, through xdg-email. xdg-email
// starts the mail program and ends; any status other than 0, or no xdg-email at all, means that
// no mail program took the file, which the user must hear of: failed says so, once per file.
class MailHandOver : public QObject {
    Q_OBJECT
public:
    explicit MailHandOver(QObject* parent = nullptr);

    void Hand(const QString& path);

Q_SIGNALS:
    void failed(const QString& text);
};
