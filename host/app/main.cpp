// telmaris-host: the replacement host application. Loads the business modules named on its
// command line or in its configuration and opens their windows in an MDI area.
//
//   telmaris-host [--config FILE] [--operator ID] [--module LIB]... [--screenshot PNG]
//                 [--tour SAMPLE] [--help] [--version]
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

}  // namespace

int main(int argc, char** argv) {
    NoDisplayForHelp(argc, argv);
    TelmarisApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("telmaris-host"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QApplication::setApplicationDisplayName(QStringLiteral("TELMARIS"));
    if (!InstallChineseLanguage()) {
        std::fprintf(stderr, "telmaris-host: Qt's Chinese translations are not installed\n");
    }

    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("TELMARIS host for business modules"));
    args.addHelpOption();
    args.addVersionOption();
    args.addOption({QStringLiteral("config"), QStringLiteral("host configuration (INI)"),
                    QStringLiteral("file")});
    args.addOption({QStringLiteral("operator"), QStringLiteral("operator id of the session"),
                    QStringLiteral("id")});
    args.addOption({QStringLiteral("module"), QStringLiteral("business module library"),
                    QStringLiteral("lib")});
    args.addOption(
        {QStringLiteral("screenshot"),
         QStringLiteral(
             "save a picture of the window and exit (with --tour: the folder for the pictures)"),
         QStringLiteral("png")});
    args.addOption(
        {QStringLiteral("tour"),
         QStringLiteral(
             "upload, search and download the sample file in the korvane window, then exit"),
         QStringLiteral("sample")});
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
