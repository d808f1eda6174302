// Qt's file dialogs as the program shows them, driven by typing and clicking as a person would,
// and the one click-through of the window with them.
#include "UiSupport.h"

namespace railgrace {
namespace {

using namespace test;

TEST(QtFileDialog, FileTypesAndTheDialogThatTheOptionBitsAskFor) {
    // Each description and pattern pair is one file type, whose patterns are appended unless the
    // description ends with them.
    const QString converted =
        QString::fromStdString(ConvertFilter("Tracks|*.svtrack;*.trk:All (*)|*"));
    EXPECT_EQ(NameFiltersFromConverted(converted),
              QStringList({"Tracks (*.svtrack *.trk)", "All (*)"}));
    // Qt's own dialog whatever the desktop offers, which the offscreen platform cannot show; a
    // save without the overwrite prompt bit replaces a file unasked.
    using D = QFileDialog;
    EXPECT_EQ(DialogSetupFromFlags(false, 0x1006).options, D::DontUseNativeDialog);
    EXPECT_EQ(DialogSetupFromFlags(true, 0x4).options,
              D::DontUseNativeDialog | D::DontConfirmOverwrite);
}

// A missing file leaves the open dialog open; one typed without extension is taken, and its name
// and file type come back. The next dialog starts at it, and a cancel empties the choice.
TEST(RealFileDialogs, OpenReturnsTheChoiceAndCancelEmptiesIt) {
    TempFolder folder;
    const std::string there = folder.Write("there.svtrack", {});
    FileDialogRequest request{.fileName = folder / "first.svtrack",
                              .fileMustExist = true,
                              .filter = "A|*.a:Tracks|*.svtrack",
                              .filterIndex = 2,
                              .defaultExt = "svtrack"};
    bool confirmed = false;
    const auto open = [&](const std::vector<Handler>& typing) {
        Answer([&] { confirmed = ShowOpenFileDialog(request, nullptr); }, typing);
    };
    QStringList seen;
    open({Type(seen, "missing.svtrack"), Type(seen, "there")});
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(request.fileName, there);
    EXPECT_EQ(request.fileTitle, "there.svtrack");
    EXPECT_EQ(request.filterIndex, 2);
    open({Type(seen, "")});
    EXPECT_EQ(seen.last(), QStringLiteral("there.svtrack"));
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(request.fileName + request.fileTitle, "");
}

TEST(RealFileDialogs, LoadSmoothAndSaveUnderATypedNameAsTheCliDoes) {
    TempFolder folder;
    const Bytes sampleBytes = ReadFile(RAILGRACE_SAMPLE);
    const std::string sample = folder.Write("sample.svtrack", sampleBytes);
    const std::string damaged = folder.Write("damaged.svtrack", {'S', 'K', 'Y', 'V', 1});
    // Something is already where the track is saved and must be confirmed away.
    const std::string target = folder.Write("smoothed.svtrack", sampleBytes);
    frmMain window;
    window.show();
    const auto button = [&](const char* name) { return window.findChild<QPushButton*>(name); };

    QStringList open, error, save, again, declined, confirmed;
    Click(button("btnOpen"), {Type(open, sample)});
    EXPECT_EQ(open, QStringList({"Open Track...", "Skyvault Tracks (*.svtrack)", ""}));
    // A damaged file is shown in an error box and leaves the track loaded before.
    Click(button("btnOpen"), {Type(open, damaged), Press(error)});
    EXPECT_TRUE(error.value(0) == "Load Track" && error.value(1).contains("damaged.svtrack"))
        << error.join(u'\n').toStdString();
    Click(button("btnModify"));
    // Declining the replacement returns to the dialog; cancelling it then leaves all alone.
    Click(button("btnSaveAs"),
          {Type(save, "smoothed"), Press(declined, QMessageBox::No), Type(again, "")});
    EXPECT_EQ(save,
              QStringList({"Save Track As...", "Skyvault Tracks (*.svtrack)", "sample.svtrack"}));
    EXPECT_TRUE(declined.join(u' ').contains(QStringLiteral("smoothed.svtrack")));
    EXPECT_EQ(ReadFile(target), sampleBytes);

    Click(button("btnSaveAs"), {Type(save, "smoothed"), Press(confirmed, QMessageBox::Yes)});
    EXPECT_EQ(window.Commands().CurrentPath(), target);
    QProcess cli;
    const std::string byCli = folder / "cli.svtrack";
    cli.start(QStringLiteral(RAILGRACE_CLI),
              {"smooth", QString::fromStdString(sample), "-o", QString::fromStdString(byCli)});
    ASSERT_TRUE(cli.waitForFinished(30000) && cli.exitCode() == 0);
    EXPECT_EQ(ReadFile(target), ReadFile(byCli));
    EXPECT_NE(ReadFile(target), sampleBytes);
}

}  // namespace
}  // namespace railgrace
