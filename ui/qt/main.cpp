// railgrace: the desktop window. "railgrace FILE" starts with that track loaded, the way a file
// manager opens a track.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>

#include "track/FileIo.h"
#include "ui/qt/frmMain.h"

int main(int argc, char** argv) {
    railgrace::RemoveTemporaryFilesOnSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("railgrace"));
    QApplication::setApplicationVersion(QStringLiteral(RAILGRACE_VERSION));
    // Ties the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("railgrace"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("railgrace")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Smooths the path of Skyvault roller-coaster tracks (.svtrack)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Track file to load at start (optional)."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);
    if (parser.positionalArguments().size() > 1) {
        parser.showHelp(2);
    }

    railgrace::frmMain window;
    window.CentreOnScreen();
    window.show();
    // After show(), so that an error box about the file has the window behind it.
    if (!parser.positionalArguments().isEmpty()) {
        window.LoadTrackFile(
            QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath());
    }
    return QApplication::exec();
}
