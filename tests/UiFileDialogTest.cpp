// The file dialogs: the filter text and option bits they are built from, and Qt's dialogs as the
// program shows them, driven by typing and clicking as a person would.
#include "UiSupport.h"
#include "ui/qt/mFileDialog.h"

namespace railgrace {
namespace {

using namespace test;

TEST(QtFileDialog, TheDialogThatTheOptionBitsAskFor) {
    // Qt's own dialog whatever the desktop offers, which the offscreen platform cannot show; a
    // save without the overwrite prompt bit replaces a file unasked.
    using D = QFileDialog;
    EXPECT_EQ(DialogSetupFromFlags(false, 0x1006).options, D::DontUseNativeDialog);
    EXPECT_EQ(DialogSetupFromFlags(true, 0x1006).options, D::DontUseNativeDialog);
    EXPECT_EQ(DialogSetupFromFlags(true, 0x4).options,
              D::DontUseNativeDialog | D::DontConfirmOverwrite);
}

TEST(RealFileDialogs, OpenReturnsTheChoiceAndCancelEmptiesIt) {
    TrackFolder folder;
    const QString there = folder.CopySample(QStringLiteral("there.svtrack"));
    FileDialogRequest request;
    bool confirmed = false;
    QStringList seen;
    const auto open = [&](const std::vector<Handler>& typing) {
        request = {.fileName = NativePath(folder.Path(QStringLiteral("first.svtrack"))),
                   .fileMustExist = true,
                   .hideReadOnly = true,
                   .filter = "Tracks|*.svtrack;*.trk:All|*",
                   .title = "Open Track...",
                   .defaultExt = "svtrack",
                   .flags = OFN_READONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE};
        Answer([&] { confirmed = ShowOpenFileDialog(request, nullptr); }, typing);
    };
    // A missing file leaves the dialog open; one typed without extension is taken. Bars and colons
    // in the filter become NULs, each description and pattern pair one file type.
    open({Type(seen, QStringLiteral("missing.svtrack")), Type(seen, QStringLiteral("there"))});
    EXPECT_EQ(seen[1], QStringLiteral("Tracks (*.svtrack *.trk);All (*)"));
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(request.fileName, NativePath(there));
    EXPECT_EQ(request.fileTitle, "there.svtrack");
    EXPECT_EQ(request.filter, std::string("Tracks\0*.svtrack;*.trk\0All\0*\0\0", 30));
    // The caller's bits pass but for hook and template, and read-only comes back as asked.
    EXPECT_EQ(request.flags, 0x1005);
    EXPECT_TRUE(request.readOnly);
    EXPECT_EQ(request.filterIndex, 1);
    open({Type(seen, QString())});
    EXPECT_EQ(seen.last(), QStringLiteral("first.svtrack"));
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(request.fileName + request.fileTitle, "");
    EXPECT_EQ(request.flags, 0);
}

TEST(RealFileDialogs, LoadSmoothAndSaveUnderATypedNameAsTheCliDoes) {
    TrackFolder folder;
    const QString sample = folder.CopySample(QStringLiteral("sample.svtrack"));
    // Something is already where the track is saved and must be confirmed away.
    const QString target = folder.CopySample(QStringLiteral("smoothed.svtrack"));
    const std::vector<std::uint8_t> original = ReadBytes(target);
    frmMain window;
    window.show();
    const auto button = [&](const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    };

    QStringList open, save, again, declined, confirmed;
    Click(button("btnOpen"), {Type(open, sample)});
    EXPECT_EQ(open, QStringList({"Open Track...", "Skyvault Tracks (*.svtrack)", ""}));
    ASSERT_EQ(window.Commands().CurrentPath(), NativePath(sample));
    Click(button("btnModify"));
    // Declining the replacement returns to the dialog; cancelling it then leaves all alone.
    Click(button("btnSaveAs"), {Type(save, QStringLiteral("smoothed")),
                                Press(declined, QMessageBox::No), Type(again, QString())});
    EXPECT_EQ(save,
              QStringList({"Save Track As...", "Skyvault Tracks (*.svtrack)", "sample.svtrack"}));
    EXPECT_TRUE(declined.join(u' ').contains(QStringLiteral("smoothed.svtrack")));
    EXPECT_EQ(window.Commands().CurrentPath(), NativePath(sample));
    EXPECT_EQ(ReadBytes(target), original);

    Click(button("btnSaveAs"),
          {Type(save, QStringLiteral("smoothed")), Press(confirmed, QMessageBox::Yes)});
    EXPECT_EQ(window.Commands().CurrentPath(), NativePath(target));
    QProcess cli;
    const QString byCli = folder.Path(QStringLiteral("cli.svtrack"));
    cli.start(QStringLiteral(RAILGRACE_CLI), {"smooth", sample, "-o", byCli});
    ASSERT_TRUE(cli.waitForFinished(30000) && cli.exitCode() == 0);
    EXPECT_EQ(ReadBytes(target), ReadBytes(byCli));
    EXPECT_NE(ReadBytes(target), original);
}

}  // namespace
}  // namespace railgrace
