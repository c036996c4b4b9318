#pragma once

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// The addresses of a host for a connect: an address given as text is taken as it stands; a
// name is looked up by the system on a thread of its own, since its look-up cannot be stopped
// and may take many seconds when no name server answers. The caller waits until the deadline
// or until cancelled says so (checked every tenth of a second) and then leaves the look-up
// behind. nullopt when the name has no address, or the wait ended first.
std::optional<QList<QHostAddress>> LookUpHost(const QString& host, const QDeadlineTimer& deadline,
                                              const std::function<bool()>& cancelled = {});
