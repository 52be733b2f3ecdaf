// The panel as the user drives it: its fields, the frame list with its Start,
// End and import buttons, the accelerator switches, mouse and paint messages
// and the About box. What an export received is read back from the model it
// wrote: the quads of pair.json stand at z = frame, so a frame's translate z
// tells the host frame it was sampled at, times the scale.
#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/plugin_session.h"

namespace {

namespace user = standin::user;

const std::vector<std::string> kImported = {"idle1", "idle2", "walk1", "walk2", "fall"};

class ExportPanelTest : public vorn_test::PluginSessionTest {
protected:
    void SetUp() override {
        PluginSessionTest::SetUp();
        LoadScene("pair.json");
        Open();
    }

    std::vector<float> SampledFrames(const std::string& model) const {
        std::vector<float> z;
        for (const md2check::FrameSummary& frame : Model(model).frames) z.push_back(frame.translate[2]);
        return z;
    }

    std::vector<std::string> FrameNames(const std::string& model) const {
        std::vector<std::string> names;
        for (const md2check::FrameSummary& frame : Model(model).frames) names.push_back(frame.name);
        return names;
    }

    void Import(const std::vector<std::string>& names) {
        PutFile("names.md2", vorn_test::Md2WithFrames(names, 8, 4));
        ImportFrom("C:\\names.md2");
    }
};

// Host frames first .. first + count - 1.
std::vector<float> HostFrames(float first, int count) {
    std::vector<float> frames;
    for (int i = 0; i < count; ++i) frames.push_back(first + static_cast<float>(i));
    return frames;
}

TEST_F(ExportPanelTest, ScaleIsItsLeadingNumberAndFirstFrameAWholeNumberOrZero) {
    const struct {
        int id;
        const char* text;
        float frame10;  // model frame 10 sampled at (first frame + 10) x scale
    } cases[] = {
        {IDC_SCALE, "2.5", 25},      {IDC_SCALE, "abc", 0},        {IDC_SCALE, "3x", 30},
        {IDC_SCALE, "  -0.5e1", -50}, {IDC_SCALE, "", 0},           {IDC_FIRST_FRAME, "12", 22},
        {IDC_FIRST_FRAME, "x7", 10}, {IDC_FIRST_FRAME, "7x", 10}, {IDC_FIRST_FRAME, "", 10},
        {IDC_FIRST_FRAME, "-3", 10},
    };
    int n = 0;
    for (const auto& c : cases) {
        Type(IDC_SCALE, "1");
        Type(IDC_FIRST_FRAME, "0");
        ASSERT_TRUE(Type(c.id, c.text));
        const std::string name = std::to_string(n++) + ".md2";
        ExportTo("C:\\" + name);
        EXPECT_FLOAT_EQ(SampledFrames(name).at(10), c.frame10) << c.text;
    }
    EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(ExportPanelTest, AFreshPanelExportsEveryFrameOfThePlayerModel) {
    const std::vector<std::string> entries = ListEntries();
    ASSERT_EQ(entries.size(), 198u);
    const struct {
        size_t index;
        const char* name;
    } landmarks[] = {{0, "stand01"},   {39, "stand40"},  {40, "run1"},     {46, "attack1"},  {54, "pain101"},
                     {66, "jump1"},    {72, "flip01"},   {84, "salute01"}, {95, "taunt01"},  {112, "wave01"},
                     {123, "point01"}, {135, "crstnd01"}, {154, "crwalk1"}, {160, "crattak1"}, {169, "crpain1"},
                     {173, "crdeath1"}, {178, "death101"}, {197, "death308"}};
    for (const auto& l : landmarks) EXPECT_EQ(entries[l.index], l.name) << l.index;

    // Start and End do nothing without a selection.
    ASSERT_TRUE(Click(IDC_START));
    ASSERT_TRUE(Click(IDC_END));
    EXPECT_EQ(Text(IDC_START_NAME), "");
    EXPECT_EQ(Text(IDC_END_NAME), "");
    Type(IDC_FIRST_FRAME, "7");
    ExportTo("C:\\all.md2");
    EXPECT_EQ(FrameNames("all.md2"), entries);
    EXPECT_EQ(SampledFrames("all.md2"), HostFrames(7, 198));
}

TEST_F(ExportPanelTest, StartAndEndPickTheRunToExport) {
    ASSERT_TRUE(SelectAndPress("run1", IDC_START));
    ASSERT_TRUE(SelectAndPress("run6", IDC_END));
    EXPECT_EQ(Text(IDC_START_NAME), "run1");
    EXPECT_EQ(Text(IDC_END_NAME), "run6");
    Type(IDC_FIRST_FRAME, "100");
    ExportTo("C:\\run.md2");

    // A new model holds every frame at its own host frame; the chosen run,
    // indices 40 .. 45, is sampled from "First Frame:" on.
    std::vector<float> expected = HostFrames(0, 198);
    for (int i = 40; i <= 45; ++i) expected[static_cast<size_t>(i)] = static_cast<float>(100 + i - 40);
    EXPECT_EQ(SampledFrames("run.md2"), expected);
    EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(ExportPanelTest, StartEqualToEndRewritesOneFrameOfTheExistingModel) {
    ExportTo("C:\\one.md2");
    std::vector<unsigned char> before = scratch.Read("one.md2");
    ASSERT_TRUE(SelectAndPress("jump3", IDC_START));
    ASSERT_TRUE(Click(IDC_END));
    EXPECT_EQ(Text(IDC_END_NAME), "jump3");
    Type(IDC_FIRST_FRAME, "500");
    ExportTo("C:\\one.md2");
    EXPECT_TRUE(MessageBoxes().empty());

    // Not a byte changed outside frame 68, which now holds host frame 500.
    const std::vector<unsigned char> after = scratch.Read("one.md2");
    ASSERT_EQ(after.size(), before.size());
    const md2check::Md2Header header = Model("one.md2").header;
    const auto frame68 = static_cast<std::ptrdiff_t>(header.ofsFrames + 68 * header.frameSize);
    std::copy_n(after.begin() + frame68, header.frameSize, before.begin() + frame68);
    EXPECT_EQ(after, before);
    EXPECT_EQ(SampledFrames("one.md2")[68], 500.0f);
    EXPECT_EQ(FrameNames("one.md2")[68], "jump3");
}

TEST_F(ExportPanelTest, EndBeforeStartIsRefusedBeforeTheSaveAs) {
    ASSERT_TRUE(SelectAndPress("run6", IDC_START));
    ASSERT_TRUE(SelectAndPress("run1", IDC_END));
    ASSERT_TRUE(Click(IDC_SAVE_MD2));
    ExpectBoxes(1, "Last frame must be greater than first frame", "Input error");
    EXPECT_TRUE(SaveAsDialogs().empty());
    EXPECT_TRUE(FilesWritten().empty());
}

TEST_F(ExportPanelTest, ImportReplacesTheListAndKeepsTheChosenRun) {
    ASSERT_TRUE(SelectAndPress("stand02", IDC_START));
    ASSERT_TRUE(SelectAndPress("stand04", IDC_END));
    Import(kImported);
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_EQ(ListEntries(), kImported);
    EXPECT_EQ(Text(IDC_START_NAME), "stand02");
    EXPECT_EQ(Text(IDC_END_NAME), "stand04");

    // The run, indices 1 .. 3, now names the imported frames.
    Type(IDC_FIRST_FRAME, "50");
    ExportTo("C:\\short.md2");
    EXPECT_EQ(FrameNames("short.md2"), kImported);
    EXPECT_EQ(SampledFrames("short.md2"), (std::vector<float>{0, 50, 51, 52, 4}));
}

TEST_F(ExportPanelTest, AFailedImportSaysSoAndRefillsTheListACancelledOneLeavesIt) {
    PutFile("text.md2", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'e', 'l'});
    PutFile("many.md2", vorn_test::Md2WithFrames(std::vector<std::string>(300, "many"), 1, 1));
    const std::vector<std::string> before = ListEntries();
    size_t failures = 0;
    for (const char* path : {"", "C:\\absent.md2", "C:\\text.md2", "C:\\many.md2"}) {
        ASSERT_TRUE(Select("run3"));
        if (*path == '\0') {
            standin::QueueSaveAsCancel();
            ASSERT_TRUE(Click(IDC_IMPORT_FRAMES));
            EXPECT_TRUE(MessageBoxes().empty());
        } else {
            ImportFrom(path);
            ExpectBoxes(++failures, "Cannot load new frame list", "File Error");
        }
        EXPECT_EQ(ListEntries(), before) << path;
        // A refilled list has lost its selection.
        EXPECT_EQ(Control(IDC_FRAME_LIST).selection, *path == '\0' ? 42 : -1) << path;
    }
}

TEST_F(ExportPanelTest, ARunBeyondAShortenedListIsRefusedBeforeAnythingIsWritten) {
    // The panel opened with the run 0 .. 197; the import leaves 197 names,
    // so the end is just past the list.
    std::vector<std::string> names(196, "idle");
    names.push_back("fall");
    Import(names);
    ASSERT_TRUE(Click(IDC_SAVE_MD2));
    ExpectBoxes(1, "Start or end frame lies beyond the frame list.\nPress Start and End again.", "Input error");
    EXPECT_EQ(SaveAsDialogs().size(), 1u) << "only the import's";
    EXPECT_EQ(FilesWritten(), std::vector<std::string>{"names.md2"});

    // Choosing the end again inside the list lets the export run.
    ASSERT_TRUE(SelectAndPress("fall", IDC_END));
    ExportTo("C:\\short.md2");
    EXPECT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(FrameNames("short.md2"), names);
}

}  // namespace

namespace {

// What no user and no well-behaved caller can do is refused, not acted on.
TEST_F(ExportPanelTest, TheWindowStandInRefusesImpossibleRequests) {
    EXPECT_FALSE(user::SelectListEntry(Panel(), IDC_FRAME_LIST, 198));
    EXPECT_FALSE(user::SelectListEntry(Panel(), IDC_FRAME_LIST, -1));
    char text[4] = "old";
    EXPECT_EQ(GetDlgItemTextA(Panel(), IDC_SCALE, text, 0), 0u);
    EXPECT_STREQ(text, "old");
    EXPECT_EQ(GetDlgItemTextA(Panel(), IDC_SCALE, nullptr, 4), 0u);
}

TEST_F(ExportPanelTest, OnlyScaleAndSkinNameSwitchTheAcceleratorsOffWhileFocused) {
    const int before = host->acceleratorSwitches;
    for (int id : {IDC_SCALE, IDC_SKIN_NAME, IDC_FIRST_FRAME}) {
        ASSERT_TRUE(user::MoveFocus(user::FindControl(Panel(), id)));
        EXPECT_EQ(host->acceleratorsEnabled, id == IDC_FIRST_FRAME) << id;
        ASSERT_TRUE(user::MoveFocus(nullptr));
        EXPECT_TRUE(host->acceleratorsEnabled) << id;
    }
    EXPECT_EQ(host->acceleratorSwitches, before + 4);
}

TEST_F(ExportPanelTest, TheAboutBoxClosesOnlyOnOk) {
    using Action = void (*)(HWND);
    const Action ok = [](HWND box) { user::ClickButton(box, IDOK); };
    const Action enter = [](HWND box) { user::PressKey(box, VK_RETURN); };
    const Action escape = [](HWND box) { user::PressKey(box, VK_ESCAPE); };
    const Action closeBox = [](HWND box) { user::ClickCloseBox(box); };
    // Each script, and whether the box closed itself (with 0) or the stand-in had to.
    const std::pair<std::vector<Action>, bool> cases[] = {
        {{ok}, true}, {{enter}, true}, {{escape, ok}, true}, {{closeBox, ok}, true}, {{escape, closeBox}, false}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [actions, closedByTheBox] = cases[i];
        for (Action action : actions) standin::QueueDialogAction(action);
        ASSERT_TRUE(Click(IDC_ABOUT));
        ASSERT_EQ(standin::Record().modalOutcomes.size(), i + 1);
        const standin::ModalOutcome& outcome = standin::Record().modalOutcomes[i];
        EXPECT_EQ(outcome.templateId, IDD_ABOUT) << i;
        EXPECT_EQ(outcome.endedByDialog, closedByTheBox) << i;
        EXPECT_EQ(outcome.result, closedByTheBox ? 0 : -1) << i;
    }
    const standin::DialogOpened& box = standin::Record().dialogsOpened.back();
    EXPECT_EQ(box.parent, nullptr);
    EXPECT_EQ(box.module, Module().instance());
    // The stand-in had to close the box the last script left open.
    expectedNotes = 1;
}

}  // namespace
