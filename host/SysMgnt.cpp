#include "SysMgnt.h"

#include "HostConfig.h"

CSysMgntPublic::CSysMgntPublic() = default;
CSysMgntPublic::~CSysMgntPublic() = default;

bool CSysMgntPublic::Init(int, int, int, int, int operatorId) {
    const QStringList files = telmaris::HostConfigFiles();
    telmaris::IniFile ini;
    ready_ = ini.LoadLayers(files);
    configFiles_ = ready_ ? files : QStringList();
    operatorId_ = operatorId;
    return ready_;
}

bool CSysMgntPublic::GetSysParaMaxValue(int&, int&, const QString& name, QString& value) {
    if (!ready_) {
        return false;
    }
    telmaris::IniFile ini;
    if (!ini.LoadLayers(configFiles_)) {
        return false;
    }
    const auto found = ini.Value(QStringLiteral("SysPara"), name);
    if (!found) {
        return false;
    }
    value = *found;
    return true;
}
