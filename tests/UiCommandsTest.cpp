// The window's commands without a window: the dialogs they ask for, the enabled-state table,
// what reaches the track and the disk, and which error box the user sees when a step fails.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <tuple>

#include "TrackFiles.h"
#include "smooth/Smooth.h"
#include "track/TrackIo.h"
#include "ui/WindowCommands.h"
#include "ui/WindowLayout.h"

namespace railgrace {
namespace {

using namespace test;

TEST(FileDialogRequest, FilterAndOptionBits) {
    EXPECT_EQ(ConvertFilter("Tracks|*.svtrack;*.trk:All|*"),
              std::string("Tracks\0*.svtrack;*.trk\0All\0*\0\0", 30));
    // The caller's bits pass, except hook (0x20) and template (0x40); saving always hides
    // read-only.
    EXPECT_EQ(OpenDialogFlags(true, false, true, 0), 0x1004);
    EXPECT_EQ(OpenDialogFlags(false, true, false, 0x68), 0x9);
    EXPECT_EQ(SaveDialogFlags(true, 0), 0x0006);
    EXPECT_EQ(SaveDialogFlags(false, 0x68), 0xC);
    // A cancel empties the names and the bits; a confirmed open hands back the read-only box.
    FileDialogRequest request{.fileName = "a", .fileTitle = "b", .flags = OFN_READONLY};
    EXPECT_TRUE(FinishRequest(request, true));
    EXPECT_TRUE(request.readOnly);
    EXPECT_FALSE(FinishRequest(request, false));
    EXPECT_EQ(request, (FileDialogRequest{.readOnly = true}));
}

TEST(WindowLayout, TwipsMakeTheWindowsPixelsAndTextsShrinkOnlyToFit) {
    EXPECT_EQ(TwipsToPixels(kClientWidth, 96), 338);
    EXPECT_EQ(TwipsToPixels(kClientHeight, 96), 72);
    EXPECT_EQ(TwipsToPixels(kClientWidth, 144), 507);  // 150 %: rounded, not cut
    EXPECT_EQ(TwipsToPixels(1455, 120), 121);

    // The text fits up to `largest` points (0: at no size).
    using Row = std::tuple<double, double, double>;  // default, largest, chosen
    for (const auto& [defaultSize, largest, chosen] :
         {Row{9, 12, 9}, Row{11, 9.7, 9.5}, Row{10.25, 8, 7.75}, Row{9, 0, 4}, Row{3, 0, 3}}) {
        EXPECT_EQ(
            FittingPointSize(defaultSize, [limit = largest](double size) { return size <= limit; }),
            chosen)
            << defaultSize << " pt fitting up to " << largest << " pt";
    }
}

TrackModel Loaded(const std::string& path) {
    TrackModel model;
    EXPECT_TRUE(LoadTrack(model, path)) << path;
    return model;
}

TrackModel Smoothed(TrackModel model) {
    SmoothTrack(model);
    return model;
}

Bytes Saved(TrackModel model) {
    return SerializeTrack(model);
}

// The message of the error that action raises.
std::string ErrorOf(const std::function<void()>& action) try {
    action();
    return "no error";
} catch (const std::exception& error) {
    return error.what();
}

class Commands : public testing::Test {
protected:
    // The commands, with the answer of their dialog: a path confirms it, nullopt cancels.
    void Load(const std::optional<std::string>& answer) {
        Answer(answer, &WindowCommands::LoadTrackCommand);
    }
    void SaveAs(const std::optional<std::string>& answer) {
        Answer(answer, &WindowCommands::SaveTrackAsCommand);
    }
    void Answer(const std::optional<std::string>& answer, void (WindowCommands::*command)()) {
        answers.push_back(answer);
        (commands.*command)();
        EXPECT_TRUE(answers.empty()) << "the dialog was not shown";
    }

    // "Smooth it!" and "Save Track as" as enabled; "Load Track" always is.
    std::string Enabled() const {
        return std::string(commands.SmoothEnabled() ? "smooth" : "-") +
               (commands.SaveEnabled() ? " save" : " -");
    }
    std::vector<std::string> TakeErrors() { return std::exchange(errors, {}); }

    TempFolder folder;
    const std::string trackA = folder.Write("a.svtrack", ReadFile(RAILGRACE_SAMPLE));
    std::deque<std::optional<std::string>> answers;
    std::vector<FileDialogRequest> requests;
    std::vector<std::string> errors;  // title, then message, of each box shown
    WindowCommands commands{
        {[this](FileDialogRequest& request) {
             requests.push_back(request);
             if (answers.empty()) return false;
             const auto answer = answers.front();
             answers.pop_front();
             request.fileName = answer.value_or("");
             return answer.has_value();
         },
         [this](std::string_view title, std::string_view message) {
             errors.insert(errors.end(), {std::string(title), std::string(message)});
         }}};
};

TEST_F(Commands, FromDialogToTrackDiskAndErrorBox) {
    const TrackModel once = Smoothed(Loaded(trackA)), twice = Smoothed(once);
    ASSERT_FALSE(Loaded(trackA) == once || once == twice) << "the sample should change";
    Bytes bytes = ReadFile(trackA);
    bytes[0] = 'X';  // the first tag is not "SKYV": a silent refusal
    const std::string refused = folder.Write("refused.svtrack", bytes);
    bytes[0] = 'S';
    bytes.resize(bytes.size() / 2);  // cut off in the middle of its chunks
    const std::string damaged = folder.Write("damaged.svtrack", bytes);
    // Vertex 1's second control point lies on its position: a handle of length zero.
    TrackModel model = Loaded(trackA);
    BezierVertex& v = model.bezrRecords.at(1);
    std::tie(v.cp2X, v.cp2Y, v.cp2Z) = std::tuple(v.posX, v.posY, v.posZ);
    const std::string faulty = SaveTrack(model, folder / "faulty.svtrack");
    const std::string out = folder / "out.svtrack";
    const std::string taken = folder / "taken.svtrack";
    std::filesystem::create_directory(taken);  // a folder where the file should go
    using Errors = std::vector<std::string>;

    EXPECT_EQ(Enabled(), "- -");
    // A smoothing that fails is shown, keeps the track and enables nothing.
    Load(faulty);
    EXPECT_EQ(Enabled(), "smooth -");
    commands.SmoothCommand();
    EXPECT_EQ(TakeErrors(), (Errors{"Smooth it!", ErrorOf([&] { Smoothed(Loaded(faulty)); })}));
    EXPECT_TRUE(commands.Track() == Loaded(faulty));
    EXPECT_EQ(Enabled(), "smooth -");
    // Each press smooths the track once more.
    Load(trackA);
    commands.SmoothCommand();
    EXPECT_TRUE(commands.Track() == once);
    EXPECT_EQ(Enabled(), "smooth save");
    commands.SmoothCommand();
    EXPECT_TRUE(commands.Track() == twice);
    // A cancelled or failed load keeps track and buttons; a refused one leaves nothing to smooth.
    Load(std::nullopt);
    Load(damaged);
    EXPECT_EQ(TakeErrors(), (Errors{"Load Track", ErrorOf([&] { Loaded(damaged); })}));
    // Too short for a tag: damaged, not refused. Given as "railgrace FILE" gives it.
    commands.LoadTrackFile(folder.Write("empty.svtrack", {}));
    EXPECT_EQ(TakeErrors(), (Errors{"Load Track",
                                    "empty.svtrack: the file ends inside its first "
                                    "tag (it holds 0 bytes)."}));
    EXPECT_TRUE(commands.Track() == twice);
    EXPECT_EQ(Enabled(), "smooth save");
    Load(refused);
    EXPECT_EQ(Enabled(), "- save");
    EXPECT_EQ(commands.CurrentPath(), trackA);
    SaveAs(out);
    EXPECT_EQ(ReadFile(out), Saved(twice));
    SaveAs(std::nullopt);  // writes nothing
    EXPECT_EQ(ReadFile(out), Saved(twice));
    // A track loaded after a smoothing is saved as it is, under the name as the dialog gave it.
    Load(trackA);
    EXPECT_EQ(Enabled(), "smooth save");
    SaveAs(folder / "plain");
    EXPECT_EQ(ReadFile(folder / "plain.svtrack"), ReadFile(trackA));
    EXPECT_EQ(commands.CurrentPath(), folder / "plain");
    // A failed save is shown and has taken the name all the same.
    SaveAs(taken);
    EXPECT_EQ(TakeErrors(), (Errors{"Save Track as", ErrorOf([&] { SaveTrack(model, taken); })}));
    EXPECT_EQ(commands.CurrentPath(), taken);
    EXPECT_TRUE(std::filesystem::is_directory(taken));

    // Each dialog starts from the last loaded track or save target; neither a refused or damaged
    // file nor a cancel changes it.
    const auto opened = [](const std::string& name) {
        return FileDialogRequest{.fileName = name,
                                 .fileMustExist = true,
                                 .hideReadOnly = true,
                                 .filter = "Skyvault Tracks (*.svtrack)|*.svtrack",
                                 .title = "Open Track...",
                                 .defaultExt = "svtrack"};
    };
    const auto saved = [](const std::string& name) {
        return FileDialogRequest{.save = true,
                                 .fileName = name,
                                 .overwritePrompt = true,
                                 .filter = "Skyvault Tracks (*.svtrack)|*.svtrack",
                                 .title = "Save Track As...",
                                 .defaultExt = "svtrack"};
    };
    EXPECT_EQ(requests, (std::vector{opened(""), opened(faulty), opened(trackA), opened(trackA),
                                     opened(trackA), saved(trackA), saved(out), opened(out),
                                     saved(trackA), saved(folder / "plain")}));
    EXPECT_TRUE(errors.empty());
}

}  // namespace
}  // namespace railgrace
