#include "timesync/ntp.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLibrary>
#include <cstdint>
#include <cstdio>

#include "common/datetime.h"

namespace tq {

namespace {
constexpr qint64 kJapanOffsetSeconds = 9 * 3600;

using SetNtpServerFn = std::int16_t (*)(const char*, std::int32_t);
using GetNtpTimeFn = double (*)();
using CloseNtpServerFn = std::int16_t (*)();

/// Network time is kept to whole seconds, the nearest one.
QDateTime nearestSecond(const QDateTime& t) {
    const QDateTime shifted = t.addMSecs(500);
    const QTime time = shifted.time();
    return QDateTime(shifted.date(), QTime(time.hour(), time.minute(), time.second()), Qt::UTC);
}
}  // namespace

struct HorvexLibrary::Impl {
    QString explicitPath;
    QLibrary library;
    bool loadTried = false;
    SetNtpServerFn setFn = nullptr;
    GetNtpTimeFn getFn = nullptr;
    CloseNtpServerFn closeFn = nullptr;

    bool load() {
        if (loadTried) {
            return library.isLoaded();
        }
        loadTried = true;
        if (!explicitPath.isEmpty()) {
            library.setFileName(explicitPath);
            return library.load();
        }
        // The program's own folder first: the library search path does not include it.
        library.setFileName(QCoreApplication::applicationDirPath() +
                            QStringLiteral("/libHorvex.so"));
        if (library.load()) {
            return true;
        }
        library.setFileName(QStringLiteral("Horvex"));
        return library.load();
    }

    /// Binds a function at its first use; null when the library or the name is missing.
    template <typename Fn>
    Fn bind(Fn& slot, const char* name) {
        if (slot == nullptr && load()) {
            slot = reinterpret_cast<Fn>(library.resolve(name));
        }
        return slot;
    }
};

HorvexLibrary::HorvexLibrary(QString explicitPath) : impl_(new Impl) {
    impl_->explicitPath = std::move(explicitPath);
}

// The library stays loaded: its timer may still call into it while the program runs.
HorvexLibrary::~HorvexLibrary() {
    delete impl_;
}

bool HorvexLibrary::available() {
    return impl_->load();
}

bool HorvexLibrary::setNtpServer(const QString& host, int port) {
    const auto fn = impl_->bind(impl_->setFn, "SetNtpServer");
    if (fn == nullptr) {
        return false;
    }
    const QByteArray text = host.toLocal8Bit();
    return fn(text.constData(), static_cast<std::int32_t>(port)) != 0;
}

double HorvexLibrary::getNtpTime() {
    const auto fn = impl_->bind(impl_->getFn, "GetNtpTime");
    return fn != nullptr ? fn() : 0.0;
}

void HorvexLibrary::closeNtpServer() {
    const auto fn = impl_->bind(impl_->closeFn, "CloseNtpServer");
    if (fn != nullptr) {
        fn();
    }
}

ClockCheck::ClockCheck(NtpLibrary& ntp, Clock& clock, QString host, int port)
    : ntp_(ntp), clock_(clock), host_(std::move(host)), port_(port) {}

QDateTime ClockCheck::check() {
    if (synchronised_) {
        return clockTime();  // the clock is set once per run; afterwards it is trusted
    }
    // Nothing queued runs meanwhile: a click that arrives during the check is handled after
    // the handler that asked for the check has finished.
    const double networkTime = ntp_.getNtpTime();
    if (networkTime != 0.0) {
        const QDateTime local =
            nearestSecond(fromDayCount(networkTime)).addSecs(kJapanOffsetSeconds);
        if (!clock_.setNow(local)) {
            offsetSeconds_ = clock_.now().secsTo(local);
            useOffset_ = true;
            std::fprintf(stderr,
                         "TQ582: the computer's clock could not be set (no privilege); "
                         "network time is kept as an offset of %lld s\n",
                         static_cast<long long>(offsetSeconds_));
        }
        synchronised_ = true;
        timerSwitch_ = false;
        indicator_ = kSyncedColour;
        // The time is taken for this run: no further request goes to the server.
        ntp_.closeNtpServer();
        return local;
    }
    indicator_ = kUnsyncedColour;
    const QDateTime now = clockTime();
    if (ntp_.available()) {
        ntp_.setNtpServer(host_, port_);
    }
    return now;
}

QDateTime ClockCheck::currentTime() {
    return timerSwitch_ ? check() : clockTime();
}

QDateTime ClockCheck::clockTime() const {
    const QDateTime now = clock_.now();
    return useOffset_ ? now.addSecs(offsetSeconds_) : now;
}

}  // namespace tq
