#include "base/Version.h"
#include "gui/support/AppIcon.h"
#include "gui/station/StationWindow.h"
#include "gui/support/GuiMessageBoxes.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pagewise-station"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(pw::kVersionText));
    QApplication::setWindowIcon(pw::applicationIcon());
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The production line's window: programs board after board on each port of a station "
                       "profile, with a tile per port, counts, yield and the last boards."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("profile"), QStringLiteral("The station profile (an INI file) to run."),
                                 QStringLiteral("[PROFILE]"));
    parser.process(app);

    pw::GuiMessageBoxes boxes;
    pw::SettingsStore store;
    pw::StationWindow window(store, boxes);
    window.resize(1200, 760);
    window.show();
    const QStringList positional = parser.positionalArguments();
    const QString profile = positional.isEmpty() ? QString() : positional.front();
    // Without a profile, or with one that is refused, the operator starts at the setup.
    QTimer::singleShot(0, &window, [&window, profile] {
        if (profile.isEmpty() || !window.openProfile(profile))
            window.edit();
    });
    return app.exec();
}
