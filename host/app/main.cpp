// telmaris-host: the replacement host application. Loads the business modules named on its
// command line or in its configuration and opens their windows in an MDI area.
//
//   telmaris-host [--config FILE] [--operator ID] [--module LIB]... [--language zh_CN|en]
//                 [--screenshot PNG] [--tour SAMPLE] [--help] [--version]
#include <QApplication>
#include <QCommandLineParser>
#include <QSessionManager>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "GuiServices.h"
#include "HostConfig.h"
#include "HostMainWindow.h"
#include "ModuleLoader.h"
#include "QuitSignals.h"
#include "RunningJobs.h"
#include "SiteLog.h"
#include "Tour.h"
#include "Translate.h"

using korvane::Tr;

namespace {

// Errors that leave an event handler are shown, never fatal.
class TelmarisApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(QString::fromUtf8(e.what()));
        }
        return false;
    }
};

// The session of the operator that --operator or [Session] OperatorId names; none (and the
// reason on standard error and in a box) without a valid one.
std::optional<SessionInfo> MakeSession(const QCommandLineParser& args,
                                       const telmaris::IniFile& ini) {
    const QString option = QStringLiteral("operator");
    QString error;
    const auto op = telmaris::SessionOperator(
        args.isSet(option) ? std::optional<QString>(args.value(option)) : std::nullopt, ini,
        &error);
    if (!op) {
        std::fprintf(stderr, "telmaris-host: %s\n", error.toLocal8Bit().constData());
        ShowGUIMessage(error, QStringLiteral("TELMARIS"), MB_ICONERROR);
        return std::nullopt;
    }
    SessionInfo session;
    session.OperatorId = *op;
    session.SessionText = "telmaris-host";
    return session;
}

QStringList ModulePaths(const QCommandLineParser& args, const telmaris::IniFile& ini) {
    QStringList configured;
    for (const auto& entry : ini.Entries(QStringLiteral("Modules"))) {
        configured << entry.second;
    }
    return telmaris::ChooseModules(args.values(QStringLiteral("module")), configured,
                                   telmaris::InstalledModuleDir());
}

// --help and --version answer without a display (over ssh, in the package's checks).
void NoDisplayForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version") {
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    NoDisplayForHelp(argc, argv);
    TelmarisApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telmaris-host"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("TELMARIS"));
    QGuiApplication::setDesktopFileName(QStringLiteral("telmaris-host"));
    QApplication::setWindowIcon(telmaris::HostIcon());
    const QString language = telmaris::StartupLanguage(argc, argv);
    if (!InstallLanguage(language)) {
        std::fprintf(stderr, "telmaris-host: the translations for %s are not installed\n",
                     qPrintable(language));
    }

    QCommandLineParser args;
    args.setApplicationDescription(Tr("telmaris", "TELMARIS 业务模块宿主程序"));
    args.addHelpOption();
    args.addVersionOption();
    args.addOption({QStringLiteral("config"), Tr("telmaris", "主机配置文件（INI）"),
                    Tr("telmaris", "配置文件")});
    args.addOption({QStringLiteral("operator"), Tr("telmaris", "本次会话的操作员编号"),
                    Tr("telmaris", "编号")});
    args.addOption({QStringLiteral("module"), Tr("telmaris", "业务模块库"), Tr("telmaris", "库")});
    args.addOption({QStringLiteral("language"),
                    Tr("telmaris",
                       "界面语言：zh_CN（中文）或 en（英文）；默认取配置文件[Session] "
                       "Language，再取系统区域设置"),
                    Tr("telmaris", "语言")});
    args.addOption({QStringLiteral("screenshot"),
                    Tr("telmaris", "保存窗口的截图后退出（与 --tour 一起时：截图所在的文件夹）"),
                    QStringLiteral("png")});
    args.addOption({QStringLiteral("tour"),
                    Tr("telmaris", "在 korvane 窗口中上传、查询并下载示例文件，然后退出"),
                    Tr("telmaris", "示例文件")});
    args.process(app);

    if (args.isSet(QStringLiteral("config"))) {
        telmaris::SetHostConfigPath(args.value(QStringLiteral("config")));
    }
    // An unreadable configuration is reported before any window or module is up.
    telmaris::IniFile ini;
    telmaris::CheckHostConfig(ini);
    // No session without an operator: every registration names one.
    const std::optional<SessionInfo> session = MakeSession(args, ini);
    if (!session) {
        return 2;
    }
    telmaris::InstallSiteLog(session->OperatorId);
    telmaris::HostMainWindow window(*session);
    telmaris::QuitOnSignals([&window] { window.RequestQuit(); });
    // The desktop session ending: running transfers ask first, and a no keeps the session.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& manager) {
                         if (telmaris::RunningJobs::Instance().Count() == 0) {
                             return;
                         }
                         if (manager.allowsInteraction()) {
                             window.RequestQuit();
                             manager.release();
                         }
                         if (telmaris::RunningJobs::Instance().Count() > 0) {
                             manager.cancel();
                         }
                     });
    window.show();
    const QStringList modules = ModulePaths(args, ini);
    for (const QString& path : modules) {
        if (window.AddModule(path)) {
            window.OpenWindow(window.ModuleCount() - 1);
        }
    }
    if (args.isSet(QStringLiteral("tour"))) {
        const QString sample = args.value(QStringLiteral("tour"));
        const QString shots = args.value(QStringLiteral("screenshot"));
        QTimer::singleShot(1500, &window, [&window, sample, shots] {
            QApplication::exit(telmaris::RunKorvaneTour(window, sample, shots));
        });
    } else if (args.isSet(QStringLiteral("screenshot"))) {
        const QString target = args.value(QStringLiteral("screenshot"));
        QTimer::singleShot(1500, &window, [&window, target] {
            const bool saved = window.grab().save(target);
            std::printf("%s %s\n", saved ? "screenshot saved to" : "could not save",
                        qPrintable(target));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
