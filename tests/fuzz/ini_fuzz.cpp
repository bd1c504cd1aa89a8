// libFuzzer target: the host's INI reader must never crash on any bytes, and what it reads back
// must be found again by its own section and key.
#include <cstddef>
#include <cstdint>

#include "HostConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    telmaris::IniFile ini;
    ini.Parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (const QString& section : {QStringLiteral("SysPara"), QStringLiteral("Session")}) {
        for (const telmaris::IniFile::Entry& e : ini.Entries(section)) {
            if (e.first.isEmpty() || !ini.Value(section, e.first).has_value()) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
