#include "ui/qt/frmMain.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>

#include "ui/WindowLayout.h"
#include "ui/qt/mFileDialog.h"

namespace railgrace {
namespace {

// The window was laid out in twips; Qt's pixels are those of 96 dots per inch, scaled by Qt on
// screens of higher density.
constexpr int Px(int twips) {
    return TwipsToPixels(twips, 96);
}

QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

void Place(QWidget* control, const ControlLayout& layout) {
    control->setObjectName(ToQString(layout.name));
    control->setGeometry(Px(layout.left), Px(layout.top), Px(layout.width), Px(layout.height));
    control->setEnabled(layout.enabledAtStart);
}

QPushButton* MakeButton(QWidget* parent, const ControlLayout& layout) {
    auto* button = new QPushButton(ToQString(layout.caption), parent);
    Place(button, layout);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

frmMain::frmMain(FileDialogs dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), commands(MakeShell(std::move(dialogs))) {
    setWindowTitle(ToQString(kWindowCaption));
    // A fixed border: no maximise button and no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(Px(kClientWidth), Px(kClientHeight));
    CreateControls();
}

WindowCommands::Shell frmMain::MakeShell(FileDialogs dialogs) {
    if (!dialogs) {
        dialogs = [this](FileDialogRequest& request) {
            return request.save ? ShowSaveFileDialog(request, this)
                                : ShowOpenFileDialog(request, this);
        };
    }
    return {std::move(dialogs), [this](std::string_view command, std::string_view message) {
                QMessageBox::critical(this, ToQString(command), ToQString(message));
            }};
}

void frmMain::CreateControls() {
    btnOpen = MakeButton(this, kControls[0]);
    btnModify = MakeButton(this, kControls[1]);
    btnSaveAs = MakeButton(this, kControls[2]);

    Text1 = new QPlainTextEdit(this);
    Place(Text1, kControls[3]);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A small inner margin so that the box of 33 pixels shows the first two lines.
    Text1->document()->setDocumentMargin(1);
    Text1->setTabChangesFocus(true);
    Text1->setPlainText(ToQString(kControls[3].caption));

    setTabOrder(btnOpen, btnModify);
    setTabOrder(btnModify, btnSaveAs);
    setTabOrder(btnSaveAs, Text1);

    connect(btnOpen, &QPushButton::clicked, this,
            [this] { Run(&WindowCommands::LoadTrackCommand); });
    connect(btnModify, &QPushButton::clicked, this,
            [this] { Run(&WindowCommands::SmoothCommand); });
    connect(btnSaveAs, &QPushButton::clicked, this,
            [this] { Run(&WindowCommands::SaveTrackAsCommand); });
}

void frmMain::Run(void (WindowCommands::*command)()) {
    (commands.*command)();
    ShowButtons();
}

void frmMain::ShowButtons() {
    btnModify->setEnabled(commands.SmoothEnabled());
    btnSaveAs->setEnabled(commands.SaveEnabled());
}

void frmMain::LoadTrackFile(const QString& path) {
    commands.LoadTrackFile(NativePath(path));
    ShowButtons();
}

void frmMain::CentreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

}  // namespace railgrace
