#pragma once

#include <QString>
#include <QStringList>

#include "HostApi.h"

// Client of the host's system-management service. In the replacement host the service is the
// [SysPara] section of the host configuration file (see HostConfig.h).
class TELMARIS_HOST_API CSysMgntPublic {
public:
    CSysMgntPublic();
    ~CSysMgntPublic();
    CSysMgntPublic(const CSysMgntPublic&) = delete;
    CSysMgntPublic& operator=(const CSysMgntPublic&) = delete;

    // True when the configuration can be read; the four leading values are reserved.
    bool Init(int reserved1, int reserved2, int reserved3, int reserved4, int operatorId);

    // Writes the named parameter's value into value and returns true. The files (the machine's
    // and the operator's, see HostConfig.h) are read anew at every call, so a changed parameter
    // takes effect at once. Before a successful Init, or for a name the service does not hold,
    // value is left untouched and the result is false.
    bool GetSysParaMaxValue(int& scope1, int& scope2, const QString& name, QString& value);

    int OperatorId() const { return operatorId_; }

private:
    QStringList configFiles_;
    int operatorId_ = 0;
    bool ready_ = false;
};
