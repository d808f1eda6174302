// The Qt window: its layout, and its texts shown whole whatever the desktop's font (the command
// flow is tested without a window, the clicks with the real file dialogs).
#include "UiSupport.h"

namespace railgrace {
namespace {

TEST(Window, LayoutCreditsCentringAndClosing) {
    frmMain window;
    window.CentreOnScreen();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Skyvault Railgrace V1.1"));
    for (QSize size : {window.size(), window.minimumSize(), window.maximumSize()})
        EXPECT_EQ(size, QSize(338, 72));
    EXPECT_FALSE(window.testAttribute(Qt::WA_SetFont));
    const QString credits = QStringLiteral(  // one paragraph a line
        "Skyvault - Railgrace v1.1 for SV_v1.3 - Coded by Quillon\n"
        "If you find a bug, you can keep it. ...or report... ;)\n"
        "      \n");
    // In tab order, whatever is enabled; geometry: twips / 15.
    using Row = std::tuple<QString, QString, QRect, bool>;
    const std::vector<Row> rows{{"btnOpen", "Load Track", {8, 8, 97, 21}, true},
                                {"btnModify", "Smooth it!", {120, 8, 97, 21}, false},
                                {"btnSaveAs", "Save Track as", {232, 8, 97, 21}, false},
                                {"Text1", credits, {8, 32, 321, 33}, true}};
    QWidget* control = &window;
    for (const auto& [name, text, geometry, enabled] : rows) {
        SCOPED_TRACE(name.toStdString());
        do control = control->nextInFocusChain();
        while ((control->focusPolicy() & Qt::TabFocus) == 0);
        EXPECT_EQ(control->objectName(), name);
        const bool box = control->inherits("QPlainTextEdit");
        EXPECT_EQ(control->property(box ? "plainText" : "text").toString(), text);
        EXPECT_EQ(control->geometry(), geometry);
        EXPECT_EQ(control->isEnabled(), enabled);
    }
    auto* text1 = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    EXPECT_EQ(text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(text1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // The frame is not known before the first show, so the centre may be off by its thickness.
    const QPoint offset =
        window.frameGeometry().center() - window.screen()->availableGeometry().center();
    const QSize frame = window.frameGeometry().size() - window.size();
    EXPECT_LE(std::abs(offset.x()), frame.width() / 2 + 1);
    EXPECT_LE(std::abs(offset.y()), frame.height() / 2 + 1);
    // Should closing not end the event loop, the second timer ends it with a code that tells.
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    QTimer::singleShot(5000, &window, [] { QApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

// Whether control shows its whole text in its font: a caption inside the rectangle its style
// draws it in; every credits line, as the box lays it out, inside the box's width and the first
// two inside its height.
bool ShowsWhole(QWidget* control) {
    if (auto* box = qobject_cast<QPlainTextEdit*>(control)) {
        const QSize room = box->viewport()->size();
        for (int line = 0; line < box->document()->blockCount(); ++line) {
            QTextCursor end(box->document()->findBlockByNumber(line));
            end.movePosition(QTextCursor::EndOfBlock);
            const QRect cursor = box->cursorRect(end);
            if (cursor.left() + box->document()->documentMargin() > room.width()) return false;
            if (line < 2 && cursor.bottom() >= room.height()) return false;
        }
        return true;
    }
    auto* button = qobject_cast<QPushButton*>(control);
    QStyleOptionButton option;
    option.initFrom(button);
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    return contents.contains(QRect(
        contents.topLeft(), button->fontMetrics().size(Qt::TextShowMnemonic, button->text())));
}

bool AllShowWhole(const QList<QWidget*>& controls, const QFont& font) {
    for (QWidget* control : controls) control->setFont(font);
    return std::ranges::all_of(controls, ShowsWhole);
}

// Under the desktop's font and larger and smaller ones: the buttons together, and the credits
// box, keep the default font while their texts fit in it, and otherwise get its family at the
// largest size, in half points, that shows them whole.
TEST(WindowFonts, TextsShowWholeInTheDefaultFontMadeSmallerOnlyAsFarAsNeeded) {
    const QFont desktop = QApplication::font();
    // The application font's size (0: the desktop's) and whether the fonts are made smaller.
    using Row = std::pair<double, std::optional<bool>>;
    for (const auto& [points, smaller] :
         {Row{0, std::nullopt}, Row{5, false}, Row{11, true}, Row{14, true}}) {
        QFont font = desktop;
        if (points > 0) font.setPointSizeF(points);
        QApplication::setFont(font);
        frmMain window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        for (const QStringList& names :
             {QStringList{"btnOpen", "btnModify", "btnSaveAs"}, QStringList{"Text1"}}) {
            SCOPED_TRACE(
                QStringLiteral("%1 pt, %2").arg(points).arg(names.join(u' ')).toStdString());
            QList<QWidget*> group;
            for (const QString& name : names) group.append(window.findChild<QWidget*>(name));
            const bool reduced = group[0]->testAttribute(Qt::WA_SetFont);
            QFont shown = group[0]->font();
            for (QWidget* control : group)  // one font for the group
                EXPECT_EQ(std::pair(control->testAttribute(Qt::WA_SetFont), control->font()),
                          std::pair(reduced, shown));
            EXPECT_EQ(reduced, smaller.value_or(reduced));
            EXPECT_EQ(shown.family(), font.family());
            EXPECT_TRUE(AllShowWhole(group, shown));
            EXPECT_EQ(AllShowWhole(group, font), !reduced);
            shown.setPointSizeF(shown.pointSizeF() + 0.5);
            EXPECT_TRUE(!reduced || !AllShowWhole(group, shown))
                << "it would fit half a point larger";
        }
    }
    QApplication::setFont(desktop);
}

}  // namespace
}  // namespace railgrace
