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

#include "GuiServices.h"
#include "HostConfig.h"
#include "HostMainWindow.h"
#include "ModuleLoader.h"
#include "QuitSignals.h"
#include "RunningJobs.h"
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

SessionInfo MakeSession(const QCommandLineParser& args, const telmaris::IniFile& ini) {
    SessionInfo session;
    const QString op = args.isSet(QStringLiteral("operator"))
                           ? args.value(QStringLiteral("operator"))
                           : ini.Value(QStringLiteral("Session"), QStringLiteral("OperatorId"))
                                 .value_or(QStringLiteral("0"));
    session.OperatorId = op.toInt();
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

// The value of an option before the parser, whose texts are in the chosen language, exists:
// "--name value" or "--name=value"; the last one counts.
QString EarlyOption(int argc, char** argv, const char* name) {
    const QByteArray flag = QByteArray("--") + name;
    QString value;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == flag && i + 1 < argc) {
            value = QString::fromLocal8Bit(argv[++i]);
        } else if (arg.startsWith(flag + '=')) {
            value = QString::fromLocal8Bit(arg.mid(flag.size() + 1));
        }
    }
    return value;
}

// The language of the texts: --language, else [Session] Language of the configuration, else
// the system's locale.
QString Language(int argc, char** argv) {
    const QString config = EarlyOption(argc, argv, "config");
    if (!config.isEmpty()) {
        telmaris::SetHostConfigPath(config);
    }
    telmaris::IniFile ini;
    telmaris::LoadHostConfig(ini);  // a file that cannot be read is reported later, in words
    QString rejected;
    const QString language = ChooseLanguage(
        EarlyOption(argc, argv, "language"),
        ini.Value(QStringLiteral("Session"), QStringLiteral("Language")).value_or(QString()),
        QLocale::system(), &rejected);
    if (!rejected.isEmpty()) {
        std::fprintf(stderr, "telmaris-host: unknown language \"%s\" (zh_CN or en), using %s\n",
                     qPrintable(rejected), qPrintable(language));
    }
    return language;
}

}  // namespace

int main(int argc, char** argv) {
    NoDisplayForHelp(argc, argv);
    TelmarisApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telmaris-host"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("TELMARIS"));
    const QString language = Language(argc, argv);
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
    telmaris::HostMainWindow window(MakeSession(args, ini));
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
