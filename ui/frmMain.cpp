#include "ui/frmMain.h"

#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <string>

#include "smooth/Smooth.h"
#include "track/TrackIo.h"
#include "ui/mFileDialog.h"

namespace railgrace {
namespace {

const QString kLoadCommand = QStringLiteral("Load Track");
const QString kSmoothCommand = QStringLiteral("Smooth it!");
const QString kSaveCommand = QStringLiteral("Save Track as");

// The window was laid out in twips; at 96 dots per inch 15 of them make a pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) {
    return twips / kTwipsPerPixel;
}

// Paths go to the track module in the file system's own encoding.
std::string ToFileSystemPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(Px(left), Px(120), Px(1455), Px(315));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

FileDialogs QtFileDialogs() {
    return FileDialogs{ShowOpenFileDialog, ShowSaveFileDialog};
}

frmMain::frmMain(FileDialogs fileDialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs(std::move(fileDialogs)) {
    setWindowTitle(QStringLiteral("Skyvault Railgrace V1.1"));
    // A fixed border: no maximise button and no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Px(5070), Px(1080));
    CreateControls();
}

void frmMain::CreateControls() {
    btnOpen = MakeButton(this, "btnOpen", kLoadCommand, 120);
    btnModify = MakeButton(this, "btnModify", kSmoothCommand, 1800);
    btnSaveAs = MakeButton(this, "btnSaveAs", kSaveCommand, 3480);
    btnModify->setEnabled(false);
    btnSaveAs->setEnabled(false);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(Px(120), Px(480), Px(4815), Px(495));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A small inner margin so that the box of 33 pixels shows the first two lines.
    Text1->document()->setDocumentMargin(1);
    Text1->setTabChangesFocus(true);
    Text1->setPlainText(kCreditsText);

    setTabOrder(btnOpen, btnModify);
    setTabOrder(btnModify, btnSaveAs);
    setTabOrder(btnSaveAs, Text1);

    connect(btnOpen, &QPushButton::clicked, this, [this] { LoadTrackCommand(); });
    connect(btnModify, &QPushButton::clicked, this, [this] { SmoothCommand(); });
    connect(btnSaveAs, &QPushButton::clicked, this, [this] { SaveTrackAsCommand(); });
}

void frmMain::CentreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void frmMain::LoadTrackCommand() {
    QString fileName = currentPath;
    QString fileTitle;
    bool readOnly = false;
    QString filter = kTrackFilter;
    int filterIndex = 1;
    std::int32_t flags = 0;
    if (!dialogs.open(fileName, fileTitle, true, readOnly, true, filter, filterIndex, QString(),
                      QStringLiteral("Open Track..."), QStringLiteral("svtrack"), this, flags))
        return;
    LoadTrackFile(fileName);
}

void frmMain::LoadTrackFile(const QString& path) {
    try {
        if (LoadTrack(track, ToFileSystemPath(path))) {
            currentPath = path;
            btnModify->setEnabled(true);
        } else {
            btnModify->setEnabled(false);
        }
    } catch (const std::exception& error) {
        ShowCommandError(kLoadCommand, error);
    }
}

void frmMain::SmoothCommand() {
    try {
        SmoothTrack(track);
        btnSaveAs->setEnabled(true);
    } catch (const std::exception& error) {
        ShowCommandError(kSmoothCommand, error);
    }
}

void frmMain::SaveTrackAsCommand() {
    QString fileName = currentPath;
    QString fileTitle;
    QString filter = kTrackFilter;
    int filterIndex = 1;
    std::int32_t flags = 0;
    if (!dialogs.save(fileName, fileTitle, true, filter, filterIndex, QString(),
                      QStringLiteral("Save Track As..."), QStringLiteral("svtrack"), this, flags))
        return;
    currentPath = fileName;
    try {
        SaveTrack(track, ToFileSystemPath(currentPath));
    } catch (const std::exception& error) {
        ShowCommandError(kSaveCommand, error);
    }
}

void frmMain::ShowCommandError(const QString& command, const std::exception& error) {
    QMessageBox::critical(this, command, QString::fromUtf8(error.what()));
}

}  // namespace railgrace
