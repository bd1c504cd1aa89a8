// Shared main of the test binaries: headless Qt without anyone setting variables by hand.
// Test discovery runs the binaries at build time, outside CTest's environment, so the
// platform is chosen here.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A private runtime directory, unless one is set already (death tests re-run this program
    // with the parent's environment, and must not leave directories of their own behind).
    std::unique_ptr<QTemporaryDir> runtimeDir;
    const QString inherited = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (inherited.isEmpty() || !QDir(inherited).exists()) {
        runtimeDir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                     QStringLiteral("/korvane-xdg-XXXXXX"));
        if (runtimeDir->isValid()) {
            QFile::setPermissions(runtimeDir->path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtimeDir->path().toUtf8());
        }
    }
    // What FTP sessions learn of the test servers stays with this run, never in the
    // operator's state folder.
    std::unique_ptr<QTemporaryDir> stateDir;
    if (!qEnvironmentVariableIsSet("KORVANE_TEST_STATE")) {
        stateDir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                   QStringLiteral("/korvane-state-XXXXXX"));
        if (stateDir->isValid()) {
            qputenv("XDG_STATE_HOME", stateDir->path().toUtf8());
            qputenv("KORVANE_TEST_STATE", stateDir->path().toUtf8());
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("telmaris"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
