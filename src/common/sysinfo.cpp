#include "common/sysinfo.h"

#include <pwd.h>
#include <unistd.h>

#include <QSysInfo>

namespace tq {

QString RealSystemInfo::computerName() const {
    return QSysInfo::machineHostName();
}

QString RealSystemInfo::userName() const {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) {
        return QString::fromLocal8Bit(pw->pw_name);
    }
    return qEnvironmentVariable("USER");
}

}  // namespace tq
