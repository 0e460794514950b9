#pragma once
// Who and where: the names every log row carries.

#include <QString>

namespace tq {

/// Supplies the computer and user names; tests give fixed ones.
class SystemInfo {
  public:
    virtual ~SystemInfo() = default;
    virtual QString computerName() const = 0;
    virtual QString userName() const = 0;
};

/// This machine: its host name and the login name of the effective user.
class RealSystemInfo final : public SystemInfo {
  public:
    QString computerName() const override;
    QString userName() const override;
};

}  // namespace tq
