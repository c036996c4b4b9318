#include "shell/MailHandOver.h"

#include <QProcess>

MailHandOver::MailHandOver(QObject* parent) : QObject(parent) {}

void MailHandOver::Hand(const QString& path) {
    auto* mail = new QProcess(this);
    mail->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(mail, &QProcess::errorOccurred, this, [this, mail](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        Q_EMIT failed(
            tr("The log cannot be handed to a mail program: xdg-email is not available."));
        mail->deleteLater();
    });
    connect(mail, &QProcess::finished, this, [this, mail](int status, QProcess::ExitStatus how) {
        mail->deleteLater();
        if (how == QProcess::NormalExit && status == 0)
            return;
        Q_EMIT failed(tr("No mail program took the log (xdg-email ended with status %1). Is an "
                         "e-mail program set up on this desktop?")
                          .arg(how == QProcess::NormalExit ? status : -1));
    });
    mail->start(QStringLiteral("xdg-email"), {QStringLiteral("--attach"), path});
}
