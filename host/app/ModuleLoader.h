#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "SessionInfo.h"

class QWidget;

namespace telmaris {

// A business module loaded from its library: the three entry points every module exports.
class BusinessModule {
public:
    using QueryCvsIntfFn = int32_t (*)(int32_t, char*);
    using GetModuleIdFn = int32_t (*)(int32_t);
    using CreateBusinessFormFn = QWidget* (*)(int32_t, SessionInfo*);

    // Loads path and resolves the entry points. On failure returns null and sets error to a text
    // naming the file and what is missing.
    static std::unique_ptr<BusinessModule> Load(const QString& path, QString& error);

    const QString& Path() const { return path_; }
    int32_t ModuleId() const;
    QString InterfaceText() const;
    QWidget* CreateForm(SessionInfo& session) const;

private:
    QString path_;
    std::unique_ptr<QLibrary> library_;
    QueryCvsIntfFn queryCvsIntf_ = nullptr;
    GetModuleIdFn getModuleId_ = nullptr;
    CreateBusinessFormFn createBusinessForm_ = nullptr;
};

// The modules in dir: its *.so files, by name.
QStringList DiscoverModules(const QString& dir);

// The modules the host opens: those named on its command line and in [Modules]; when there are
// none, every module in moduleDir.
QStringList ChooseModules(const QStringList& fromArgs, const QStringList& fromConfig,
                          const QString& moduleDir);

// The folder of installed modules, beside the installed host.
QString InstalledModuleDir();

}  // namespace telmaris
