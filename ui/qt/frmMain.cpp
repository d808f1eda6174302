#include "ui/qt/frmMain.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <initializer_list>

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

// Whether a button's caption fits where its style draws it; a label that does not is clipped.
bool CaptionFits(QWidget* control, const QFontMetrics& metrics) {
    const auto* button = static_cast<QPushButton*>(control);
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QSize text = metrics.size(Qt::TextShowMnemonic, button->text());
    return text.width() <= contents.width() && text.height() <= contents.height();
}

// Whether every credits line fits the box's width and the first two its height. Without scroll
// bars the viewport is the contents rectangle, which is known before the box is first shown.
bool CreditsFit(QWidget* control, const QFontMetrics& metrics) {
    const auto* box = static_cast<QPlainTextEdit*>(control);
    const int margins = static_cast<int>(std::ceil(2 * box->document()->documentMargin()));
    const QSize room = box->contentsRect().size() - QSize(margins, margins);
    int widest = 0;
    for (const QString& line : box->toPlainText().split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest <= room.width() && 2 * metrics.lineSpacing() <= room.height();
}

// Gives controls their default font at the largest size at which fits holds for each of them,
// and leaves their font alone when it holds at the default size.
void ShowWhole(std::initializer_list<QWidget*> controls,
               bool (*fits)(QWidget*, const QFontMetrics&)) {
    QFont font = (*controls.begin())->font();
    const double defaultSize = QFontInfo(font).pointSizeF();
    const double size = FittingPointSize(defaultSize, [&](double points) {
        font.setPointSizeF(points);
        return std::ranges::all_of(controls,
                                   [&](QWidget* c) { return fits(c, QFontMetrics(font, c)); });
    });
    if (size == defaultSize) return;
    font.setPointSizeF(size);
    for (QWidget* control : controls) control->setFont(font);
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

    // The buttons share one size, so that the row looks even.
    ShowWhole({btnOpen, btnModify, btnSaveAs}, CaptionFits);
    ShowWhole({Text1}, CreditsFit);

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
