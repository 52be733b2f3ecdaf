// The panel as the user drives it: its fields, the frame list with its Start,
// End and import buttons, the accelerator switches, mouse and paint messages
// and the About box. What an export received is read back from the model it
// wrote: the quads of pair.json stand at z = frame, so a frame's translate z
// tells the host frame it was sampled at, times the scale.
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "support/plugin_session.h"

namespace {

using vorn_test::PluginSessionTest;
namespace user = standin::user;

class ExportPanelTest : public PluginSessionTest {
protected:
    void SetUp() override {
        PluginSessionTest::SetUp();
        LoadScene("pair.json");
        Open();
    }

    // The host frame each model frame was sampled at.
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

    // The panel procedure's answer to the last message it got.
    INT_PTR LastResult() const {
        const std::vector<standin::DialogMessage> messages = standin::MessagesTo(Panel());
        return messages.empty() ? -1 : messages.back().result;
    }

    void ImportNames(const std::vector<std::string>& names) {
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

TEST_F(ExportPanelTest, ScaleTextIsReadAsItsLeadingNumber) {
    const struct {
        const char* text;
        float scale;
    } cases[] = {{"2.5", 2.5f}, {"abc", 0.0f}, {"3x", 3.0f}, {"  -0.5e1", -5.0f}, {"", 0.0f}};
    int n = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(Type(IDC_SCALE, c.text));
        const std::string name = "scale" + std::to_string(n++) + ".md2";
        ExportTo("C:\\" + name);
        const md2check::Md2Report model = Model(name);
        ASSERT_EQ(model.frames.size(), 198u) << c.text;
        // The quads span y 0..20 and x 0..30; the quarter turn makes those
        // -x and y, and the scale multiplies them.
        const md2check::FrameSummary& frame = model.frames[10];
        const float s = c.scale;
        EXPECT_FLOAT_EQ(frame.translate[0], s < 0 ? 0.0f : -20.0f * s) << c.text;
        EXPECT_FLOAT_EQ(frame.translate[1], s < 0 ? 30.0f * s : 0.0f) << c.text;
        EXPECT_FLOAT_EQ(frame.translate[2], 10.0f * s) << c.text;
        EXPECT_FLOAT_EQ(frame.scale[0], static_cast<float>(20.0f * std::abs(s) * 0.004)) << c.text;
        EXPECT_FLOAT_EQ(frame.scale[1], static_cast<float>(30.0f * std::abs(s) * 0.004)) << c.text;
    }
    EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(ExportPanelTest, FirstFrameThatIsNoNumberIsZero) {
    const struct {
        const char* text;
        float first;
    } cases[] = {{"12", 12.0f}, {"x7", 0.0f}, {"7x", 0.0f}, {"", 0.0f}, {"-3", 0.0f}};
    int n = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(Type(IDC_FIRST_FRAME, c.text));
        const std::string name = "first" + std::to_string(n++) + ".md2";
        ExportTo("C:\\" + name);
        EXPECT_EQ(SampledFrames(name), HostFrames(c.first, 198)) << c.text;
    }
    EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(ExportPanelTest, AFreshPanelOffersAndExportsTheWholeDefaultList) {
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
    EXPECT_EQ(Text(IDC_START_NAME), "");
    EXPECT_EQ(Text(IDC_END_NAME), "");

    ExportTo("C:\\all.md2");
    EXPECT_EQ(FrameNames("all.md2"), entries);
    EXPECT_EQ(SampledFrames("all.md2"), HostFrames(0, 198));
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
    const std::vector<unsigned char> before = scratch.Read("one.md2");

    ASSERT_TRUE(SelectAndPress("jump3", IDC_START));
    ASSERT_TRUE(Click(IDC_END));
    EXPECT_EQ(Text(IDC_END_NAME), "jump3");
    Type(IDC_FIRST_FRAME, "500");
    ExportTo("C:\\one.md2");
    EXPECT_TRUE(MessageBoxes().empty());

    const std::vector<unsigned char> after = scratch.Read("one.md2");
    ASSERT_EQ(after.size(), before.size());
    const size_t frameSize = static_cast<size_t>(vorn_test::FileI32(before, 16));
    const size_t frame68 = static_cast<size_t>(vorn_test::FileI32(before, 56)) + 68 * frameSize;
    std::vector<size_t> changed;
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i] != before[i]) changed.push_back(i);
    }
    ASSERT_FALSE(changed.empty());
    EXPECT_GE(changed.front(), frame68);
    EXPECT_LT(changed.back(), frame68 + frameSize);
    EXPECT_EQ(SampledFrames("one.md2")[68], 500.0f);
    EXPECT_EQ(FrameNames("one.md2")[68], "jump3");
}

TEST_F(ExportPanelTest, EndBeforeStartIsRefusedBeforeTheSaveAs) {
    ASSERT_TRUE(SelectAndPress("run6", IDC_START));
    ASSERT_TRUE(SelectAndPress("run1", IDC_END));
    ASSERT_TRUE(Click(IDC_SAVE_MD2));
    EXPECT_EQ(LastResult(), FALSE);

    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].text, "Last frame must be greater than first frame");
    EXPECT_EQ(MessageBoxes()[0].caption, "Input error");
    EXPECT_EQ(MessageBoxes()[0].owner, Panel());
    EXPECT_EQ(MessageBoxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(SaveAsDialogs().empty());
    EXPECT_TRUE(FilesWritten().empty());
}

TEST_F(ExportPanelTest, StartAndEndWithoutASelectionAreIgnored) {
    ASSERT_TRUE(Click(IDC_START));
    ASSERT_TRUE(Click(IDC_END));
    EXPECT_EQ(Text(IDC_START_NAME), "");
    EXPECT_EQ(Text(IDC_END_NAME), "");
    Type(IDC_FIRST_FRAME, "7");
    ExportTo("C:\\all.md2");
    EXPECT_EQ(SampledFrames("all.md2"), HostFrames(7, 198));
}

TEST_F(ExportPanelTest, ImportReplacesTheListAndKeepsTheChosenRun) {
    ASSERT_TRUE(SelectAndPress("stand02", IDC_START));
    ASSERT_TRUE(SelectAndPress("stand04", IDC_END));
    const std::vector<std::string> names = {"idle1", "idle2", "walk1", "walk2", "fall"};
    ImportNames(names);
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_EQ(ListEntries(), names);
    EXPECT_EQ(Exporter().frameCount, 5);
    EXPECT_EQ(Text(IDC_START_NAME), "stand02");
    EXPECT_EQ(Text(IDC_END_NAME), "stand04");

    // The run, indices 1 .. 3, now names the imported frames.
    Type(IDC_FIRST_FRAME, "50");
    ExportTo("C:\\short.md2");
    EXPECT_EQ(FrameNames("short.md2"), names);
    EXPECT_EQ(SampledFrames("short.md2"), (std::vector<float>{0, 50, 51, 52, 4}));
}

TEST_F(ExportPanelTest, AFailedImportLeavesTheListAndRefillsIt) {
    PutFile("text.md2", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'e', 'l'});
    const std::vector<std::string> names(300, "many");
    PutFile("many.md2", vorn_test::Md2WithFrames(names, 1, 1));
    const std::vector<std::string> before = ListEntries();
    int shown = 0;
    for (const char* path : {"C:\\absent.md2", "C:\\text.md2", "C:\\many.md2"}) {
        ASSERT_TRUE(Select("run3"));
        ImportFrom(path);
        ASSERT_EQ(MessageBoxes().size(), static_cast<size_t>(++shown)) << path;
        const standin::MessageBoxShown& box = MessageBoxes().back();
        EXPECT_EQ(box.text, "Cannot load new frame list");
        EXPECT_EQ(box.caption, "File Error");
        EXPECT_EQ(box.owner, Panel());
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
        EXPECT_EQ(ListEntries(), before) << path;
        // Refilled: the list lost its selection.
        EXPECT_EQ(standin::DescribeWindow(user::FindControl(Panel(), IDC_FRAME_LIST)).selection, -1) << path;
    }
    EXPECT_EQ(Exporter().frameCount, 198);
}

TEST_F(ExportPanelTest, ACancelledImportChangesNothing) {
    ASSERT_TRUE(Select("run3"));
    const std::vector<std::string> before = ListEntries();
    standin::QueueSaveAsCancel();
    ASSERT_TRUE(Click(IDC_IMPORT_FRAMES));
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_EQ(ListEntries(), before);
    EXPECT_EQ(standin::DescribeWindow(user::FindControl(Panel(), IDC_FRAME_LIST)).selection, 42);
    EXPECT_EQ(Exporter().frameCount, 198);
}

TEST_F(ExportPanelTest, ARunBeyondAShortenedListIsRefusedBeforeAnythingIsWritten) {
    // The panel opened with the run 0 .. 197; the import leaves five names.
    ImportNames({"idle1", "idle2", "walk1", "walk2", "fall"});
    ASSERT_TRUE(Click(IDC_SAVE_MD2));
    ASSERT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(MessageBoxes()[0].text, "Start or end frame lies beyond the frame list.\nPress Start and End again.");
    EXPECT_EQ(MessageBoxes()[0].caption, "Input error");
    EXPECT_EQ(MessageBoxes()[0].owner, Panel());
    EXPECT_EQ(SaveAsDialogs().size(), 1u) << "only the import's";
    EXPECT_EQ(FilesWritten(), std::vector<std::string>{"names.md2"});

    // Choosing the end again inside the list lets the export run.
    ASSERT_TRUE(SelectAndPress("fall", IDC_END));
    ExportTo("C:\\short.md2");
    EXPECT_EQ(MessageBoxes().size(), 1u);
    EXPECT_EQ(FrameNames("short.md2"), (std::vector<std::string>{"idle1", "idle2", "walk1", "walk2", "fall"}));
}

TEST_F(ExportPanelTest, OnlyScaleAndSkinNameSwitchTheAccelerators) {
    const struct {
        int id;
        bool switches;
    } cases[] = {{IDC_SCALE, true}, {IDC_SKIN_NAME, true}, {IDC_FIRST_FRAME, false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(user::MoveFocus(nullptr));
        const int before = host->acceleratorSwitches;
        ASSERT_TRUE(host->acceleratorsEnabled);
        ASSERT_TRUE(user::MoveFocus(user::FindControl(Panel(), c.id)));
        EXPECT_EQ(host->acceleratorsEnabled, !c.switches) << c.id;
        EXPECT_EQ(host->acceleratorSwitches, before + (c.switches ? 1 : 0)) << c.id;
        ASSERT_TRUE(user::MoveFocus(user::FindControl(Panel(), IDC_SAVE_MD2)));
        EXPECT_TRUE(host->acceleratorsEnabled) << c.id;
        EXPECT_EQ(host->acceleratorSwitches, before + (c.switches ? 2 : 0)) << c.id;
    }
    // Straight from one field to the other: off, on, off.
    ASSERT_TRUE(Type(IDC_SCALE, "2"));
    const int before = host->acceleratorSwitches;
    ASSERT_TRUE(Type(IDC_SKIN_NAME, "skin"));
    EXPECT_FALSE(host->acceleratorsEnabled);
    EXPECT_EQ(host->acceleratorSwitches, before + 2);
    ASSERT_TRUE(user::MoveFocus(nullptr));
    EXPECT_TRUE(host->acceleratorsEnabled);
}

TEST_F(ExportPanelTest, MouseMessagesGoToTheHost) {
    ASSERT_TRUE(user::MouseDown(Panel(), 10, 20));
    EXPECT_EQ(LastResult(), TRUE);
    ASSERT_TRUE(user::MouseMove(Panel(), 30, 40, true));
    ASSERT_TRUE(user::MouseUp(Panel(), 31, 41));
    const struct {
        UINT message;
        WPARAM wParam;
        int x, y;
    } expected[] = {{WM_LBUTTONDOWN, 1, 10, 20}, {WM_MOUSEMOVE, 1, 30, 40}, {WM_LBUTTONUP, 0, 31, 41}};
    ASSERT_EQ(host->mouseMessages.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const standin::StandinHost::MouseMessage& m = host->mouseMessages[i];
        EXPECT_EQ(m.window, Panel());
        EXPECT_EQ(m.message, expected[i].message);
        EXPECT_EQ(m.wParam, expected[i].wParam);
        EXPECT_EQ(m.lParam, static_cast<LPARAM>((expected[i].y << 16) | expected[i].x));
    }
}

TEST_F(ExportPanelTest, PaintingCopiesThePictureToTheTopLeftCorner) {
    ASSERT_TRUE(user::Repaint(Panel()));
    EXPECT_EQ(LastResult(), TRUE);
    const standin::WindowSystemRecord& record = standin::Record();

    ASSERT_EQ(record.bitmaps.size(), 1u);
    const standin::BitmapLoad& picture = record.bitmaps[0];
    EXPECT_EQ(picture.module, Module().instance());
    EXPECT_EQ(picture.resourceId, IDB_PANEL);
    EXPECT_EQ(picture.width, 156);
    EXPECT_EQ(picture.height, 224);
    EXPECT_EQ(picture.bitsPerPixel, 8);

    ASSERT_EQ(record.paints.size(), 1u);
    EXPECT_EQ(record.paints[0].window, Panel());
    EXPECT_TRUE(record.paints[0].ended);
    ASSERT_EQ(record.blits.size(), 1u);
    const standin::BlitCall& blit = record.blits[0];
    EXPECT_EQ(blit.destination, record.paints[0].dc);
    EXPECT_EQ(blit.destinationWindow, Panel());
    EXPECT_EQ(blit.x, 0);
    EXPECT_EQ(blit.y, 0);
    EXPECT_EQ(blit.width, 156);
    EXPECT_EQ(blit.height, 224);
    EXPECT_EQ(blit.sourceBitmap, picture.handle);
    EXPECT_EQ(blit.sourceX, 0);
    EXPECT_EQ(blit.sourceY, 0);
    EXPECT_EQ(blit.rop, static_cast<DWORD>(SRCCOPY));

    // The memory context was made for the paint, got its own bitmap back and went.
    ASSERT_EQ(record.memoryDCs.size(), 1u);
    EXPECT_EQ(record.memoryDCs[0].dc, blit.source);
    EXPECT_EQ(record.memoryDCs[0].compatibleWith, record.paints[0].dc);
    EXPECT_TRUE(record.memoryDCs[0].deleted);
    EXPECT_TRUE(record.memoryDCs[0].stockSelectedWhenDeleted);
    EXPECT_FALSE(picture.deleted);
}

TEST_F(ExportPanelTest, TheAboutBoxClosesOnlyOnOk) {
    using Action = void (*)(HWND);
    const Action ok = [](HWND box) { user::ClickButton(box, IDOK); };
    const Action enter = [](HWND box) { user::PressKey(box, VK_RETURN); };
    const Action escape = [](HWND box) { user::PressKey(box, VK_ESCAPE); };
    const Action closeBox = [](HWND box) { user::ClickCloseBox(box); };
    const struct {
        const char* name;
        std::vector<Action> actions;
        bool closedByTheBox;
    } cases[] = {
        {"OK", {ok}, true},
        {"Enter", {enter}, true},
        {"Escape, then OK", {escape, ok}, true},
        {"close box, then OK", {closeBox, ok}, true},
        {"Escape and the close box only", {escape, closeBox}, false},
    };
    size_t opened = 0;
    for (const auto& c : cases) {
        int taken = 0;
        for (Action action : c.actions) {
            standin::QueueDialogAction([action, &taken](HWND box) {
                ++taken;
                action(box);
            });
        }
        ASSERT_TRUE(Click(IDC_ABOUT));
        EXPECT_EQ(LastResult(), TRUE) << c.name;
        EXPECT_EQ(taken, static_cast<int>(c.actions.size())) << c.name;
        const standin::WindowSystemRecord& record = standin::Record();
        ASSERT_EQ(record.modalOutcomes.size(), ++opened) << c.name;
        const standin::ModalOutcome& outcome = record.modalOutcomes.back();
        EXPECT_EQ(outcome.templateId, IDD_ABOUT) << c.name;
        EXPECT_EQ(outcome.endedByDialog, c.closedByTheBox) << c.name;
        EXPECT_EQ(outcome.result, c.closedByTheBox ? 0 : -1) << c.name;
        const standin::DialogOpened& box = record.dialogsOpened.back();
        EXPECT_EQ(box.templateId, IDD_ABOUT);
        EXPECT_TRUE(box.modal);
        EXPECT_EQ(box.parent, nullptr);
        EXPECT_EQ(box.module, Module().instance());
    }
    // The stand-in had to close the box the last script left open.
    expectedNotes = 1;
}

}  // namespace
