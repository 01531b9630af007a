#include "Syslog.h"

#include <syslog.h>

namespace korvo {

void Syslog::error(const QString& line) {
    ::syslog(LOG_USER | LOG_ERR, "%s", line.toUtf8().constData());
}

void Syslog::info(const QString& line) {
    ::syslog(LOG_USER | LOG_INFO, "%s", line.toUtf8().constData());
}

}  // namespace korvo
