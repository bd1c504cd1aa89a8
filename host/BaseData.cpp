#include "BaseData.h"

#include <cstring>

#include "HostConfig.h"
#include "TextLimits.h"

TCNameCodeInfo::TCNameCodeInfo(int64_t c, const std::string& n) : code(c) {
    const std::string cut = telmaris::CutUtf8(n, sizeof(name) - 1);
    std::memcpy(name, cut.data(), cut.size());
}

bool GetCodeCNameTable(uint16_t tableNo, TCNameCodeInfoList& list, int32_t* loaded) {
    telmaris::IniFile ini;
    if (!telmaris::LoadHostConfig(ini)) {
        return false;
    }
    int32_t count = 0;
    for (const auto& [key, value] : ini.Entries(QStringLiteral("CodeTable%1").arg(tableNo))) {
        bool ok = false;
        const qlonglong code = key.toLongLong(&ok);
        if (!ok) {
            continue;
        }
        list.emplace_back(code, value.toStdString());
        ++count;
    }
    if (loaded != nullptr) {
        *loaded = count;
    }
    return true;
}
