// The window's commands without a window: the dialogs they ask for, the enabled-state table,
// what reaches the track and the disk, and which error box the user sees when a step fails.
#include <gtest/gtest.h>

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
    EXPECT_TRUE(FinishRequest(request, true) && request.readOnly);
    EXPECT_FALSE(FinishRequest(request, false));
    EXPECT_EQ(request, (FileDialogRequest{.readOnly = true}));
}

TEST(WindowLayout, TwipsMakeTheWindowsPixelsAndTextsShrinkOnlyToFit) {
    EXPECT_EQ(TwipsToPixels(1455, 144), 146);  // 150 %: 145.5 rounded, not cut

    // The text fits up to `largest` points (0: at no size).
    using Row = std::tuple<double, double, double>;  // default, largest, chosen
    for (const auto& [defaultSize, largest, chosen] :
         {Row{9, 12, 9}, Row{11, 9.7, 9.5}, Row{10.25, 8, 7.75}, Row{9, 0, 4}, Row{3, 0, 3}}) {
        const auto fits = [limit = largest](double size) { return size <= limit; };
        EXPECT_EQ(FittingPointSize(defaultSize, fits), chosen)
            << defaultSize << " pt fitting up to " << largest << " pt";
    }
}

// The message of the error that action raises.
std::string ErrorOf(const std::function<void()>& action) try {
    action();
    return "no error";
} catch (const std::exception& error) {
    return error.what();
}

// The request of the open or the save dialog, starting at fileName.
FileDialogRequest Asked(bool save, const std::string& fileName) {
    return {.save = save,
            .fileName = fileName,
            .fileMustExist = !save,
            .hideReadOnly = !save,
            .overwritePrompt = save,
            .filter = "Skyvault Tracks (*.svtrack)|*.svtrack",
            .title = save ? "Save Track As..." : "Open Track...",
            .defaultExt = "svtrack"};
}

TEST(Commands, FromDialogToTrackDiskAndErrorBox) {
    TempFolder folder;
    const std::string trackA = folder.Write("a.svtrack", ReadFile(RAILGRACE_SAMPLE));
    TrackModel original;
    ASSERT_TRUE(LoadTrack(original, trackA));
    TrackModel once = original;
    SmoothTrack(once);
    TrackModel twice = once;
    SmoothTrack(twice);
    ASSERT_FALSE(original == once || once == twice) << "the sample should change";
    // The first tag is not "SKYV": a silent refusal; one that ends inside its size: damaged.
    const std::string refused = folder.Write("refused.svtrack", {'S', 'K', 'Y', 'X'});
    const std::string damaged = folder.Write("damaged.svtrack", {'S', 'K', 'Y', 'V', 1});
    // Vertex 1's second control point lies on its position: a handle of length zero.
    TrackModel model = original;
    BezierVertex& v = model.bezrRecords.at(1);
    std::tie(v.cp2X, v.cp2Y, v.cp2Z) = std::tuple(v.posX, v.posY, v.posZ);
    const std::string faulty = SaveTrack(model, folder / "faulty.svtrack");
    const std::string out = folder / "out.svtrack", plain = folder / "plain",
                      taken = folder / "taken.svtrack";
    std::filesystem::create_directory(taken);  // a folder where the file should go

    std::optional<std::string> answer;  // of the dialog: a path confirms it, nullopt cancels
    std::vector<FileDialogRequest> asked;
    std::vector<std::string> box;  // title, then message, of each error box shown
    WindowCommands commands{{[&](FileDialogRequest& request) {
                                 asked.push_back(request);
                                 request.fileName = answer.value_or("");
                                 return answer.has_value();
                             },
                             [&](std::string_view title, std::string_view message) {
                                 box.insert(box.end(), {std::string(title), std::string(message)});
                             }}};
    EXPECT_FALSE(commands.SmoothEnabled() || commands.SaveEnabled());

    struct Step {
        void (WindowCommands::*command)();  // none: "railgrace FILE" with the answer
        std::optional<std::string> answer;
        std::vector<FileDialogRequest> asked;
        std::pair<bool, bool> enabled;  // "Smooth it!" and "Save Track as" ("Load Track" always is)
        std::vector<std::string> box = {};  // of the error box shown, if any
        const TrackModel* track = nullptr;  // afterwards, if checked
    };
    const auto load = &WindowCommands::LoadTrackCommand;
    const auto smooth = &WindowCommands::SmoothCommand;
    const auto save = &WindowCommands::SaveTrackAsCommand;
    // Each dialog starts from the last loaded track or save target; neither a refused or damaged
    // file nor a cancel changes it.
    const std::vector<std::string> smoothError{"Smooth it!",
                                               ErrorOf([m = model]() mutable { SmoothTrack(m); })},
        loadError{"Load Track", ErrorOf([&, m = model]() mutable { LoadTrack(m, damaged); })},
        saveError{"Save Track as", ErrorOf([&] { SaveTrack(model, taken); })};
    const std::vector<Step> steps{
        // A smoothing that fails is shown, keeps the track and enables nothing.
        {load, faulty, {Asked(false, "")}, {true, false}},
        {smooth, {}, {}, {true, false}, smoothError, &model},
        // Each press smooths the track once more.
        {load, trackA, {Asked(false, faulty)}, {true, false}},
        {smooth, {}, {}, {true, true}, {}, &once},
        {smooth, {}, {}, {true, true}, {}, &twice},
        // A cancelled or failed load keeps track and buttons, also one given as "railgrace FILE"
        // gives it (damaged, not refused); a refused one leaves nothing to smooth.
        {load, std::nullopt, {Asked(false, trackA)}, {true, true}},
        {load, damaged, {Asked(false, trackA)}, {true, true}, loadError},
        {nullptr, damaged, {}, {true, true}, loadError, &twice},
        {load, refused, {Asked(false, trackA)}, {false, true}},
        {save, out, {Asked(true, trackA)}, {false, true}},
        {save, std::nullopt, {Asked(true, out)}, {false, true}},  // writes nothing
        // A track loaded after a smoothing is saved as it is, under the name as the dialog gave it.
        {load, trackA, {Asked(false, out)}, {true, true}},
        {save, plain, {Asked(true, trackA)}, {true, true}},
        // A failed save is shown and has taken the name all the same.
        {save, taken, {Asked(true, plain)}, {true, true}, saveError},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << &step - steps.data());
        answer = step.answer;
        step.command ? (commands.*step.command)() : commands.LoadTrackFile(*step.answer);
        EXPECT_EQ(std::exchange(asked, {}), step.asked);
        EXPECT_EQ(std::pair(commands.SmoothEnabled(), commands.SaveEnabled()), step.enabled);
        EXPECT_EQ(std::exchange(box, {}), step.box);
        EXPECT_TRUE(step.track == nullptr || commands.Track() == *step.track);
    }
    EXPECT_EQ(ReadFile(out), SerializeTrack(twice));
    EXPECT_EQ(ReadFile(plain + ".svtrack"), ReadFile(trackA));
    EXPECT_EQ(commands.CurrentPath(), taken);
}

}  // namespace
}  // namespace railgrace
