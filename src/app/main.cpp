#include <QApplication>
#include <QMainWindow>

#include "app/TraceLog.h"
#include "platform/SettingsStore.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QString::fromLatin1(SettingsStore::kCompany));
    QCoreApplication::setApplicationName(QString::fromLatin1(SettingsStore::kApplication));
    TraceLog::SetEnabled(qEnvironmentVariable("QUORVATEL_TRACE") == QLatin1String("1"));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quorvatel 4.01"));
    window.resize(1000, 500);
    window.show();
    return app.exec();
}
