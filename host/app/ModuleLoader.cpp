#include "ModuleLoader.h"

#include <QCoreApplication>
#include <QDir>

#include <QWidget>
#include "Translate.h"

using korvane::Tr;

namespace telmaris {

std::unique_ptr<BusinessModule> BusinessModule::Load(const QString& path, QString& error) {
    auto module = std::unique_ptr<BusinessModule>(new BusinessModule);
    module->path_ = path;
    module->library_ = std::make_unique<QLibrary>(path);
    if (!module->library_->load()) {
        error =
            Tr("telmaris", "不能加载业务模块 %1：%2").arg(path, module->library_->errorString());
        return nullptr;
    }
    auto resolve = [&](const char* name) -> QFunctionPointer {
        QFunctionPointer f = module->library_->resolve(name);
        if (f == nullptr && error.isEmpty()) {
            error = Tr("telmaris", "业务模块 %1 缺少导出函数 %2").arg(path, QLatin1String(name));
        }
        return f;
    };
    error.clear();
    module->queryCvsIntf_ = reinterpret_cast<QueryCvsIntfFn>(resolve("QueryCvsIntf"));
    module->getModuleId_ = reinterpret_cast<GetModuleIdFn>(resolve("GetModuleId"));
    module->createBusinessForm_ =
        reinterpret_cast<CreateBusinessFormFn>(resolve("CreateBusinessForm"));
    if (!error.isEmpty()) {
        return nullptr;
    }
    return module;
}

int32_t BusinessModule::ModuleId() const {
    return getModuleId_(-1) > 0 ? getModuleId_(0) : -1;
}

QString BusinessModule::InterfaceText() const {
    char buffer[2048] = {};
    return queryCvsIntf_(0, buffer) == 0 ? QString::fromUtf8(buffer) : QString();
}

QWidget* BusinessModule::CreateForm(SessionInfo& session) const {
    return createBusinessForm_(0, &session);
}

QStringList DiscoverModules(const QString& dir) {
    QStringList out;
    const QDir folder(dir);
    for (const QString& name :
         folder.entryList({QStringLiteral("*.so")}, QDir::Files | QDir::Readable, QDir::Name)) {
        out << folder.absoluteFilePath(name);
    }
    return out;
}

QStringList ChooseModules(const QStringList& fromArgs, const QStringList& fromConfig,
                          const QString& moduleDir) {
    const QStringList named = fromArgs + fromConfig;
    return named.isEmpty() ? DiscoverModules(moduleDir) : named;
}

QString InstalledModuleDir() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/" TELMARIS_MODULE_RELDIR));
}

}  // namespace telmaris
