// The floors for the window's start: a Qt program that shows one empty window and does nothing,
// and with --text the same window with one line of text in it, which is what brings in the
// fonts (any window with a caption on a button pays for them).
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    QWidget window;
    if (withText) new QLabel(QStringLiteral("Load Track"), &window);
    window.show();
    return QApplication::exec();
}
