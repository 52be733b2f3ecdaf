// The user at the plug-in's panel: opens the utility in the stand-in host,
// then clicks, types and answers dialogs through the stand-in window system,
// and reads back the message boxes the plug-in showed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/host_sdk.h"
#include "standin/host/standin_scene.h"
#include "standin/windows/window_standin.h"

namespace md2export {

struct ShownMessage {
    std::string caption;
    std::string text;
};

class PanelUser {
public:
    // Sets up a host over scene, with a command panel of its own for the
    // utility's page; scene must outlive this object.
    explicit PanelUser(standin::Scene& scene);
    // Closes the utility if it is still open.
    ~PanelUser();
    PanelUser(const PanelUser&) = delete;
    PanelUser& operator=(const PanelUser&) = delete;

    // Opens the utility the class description created (begin edit). False
    // when no panel appeared.
    bool Open(UtilityObj* utility);
    // Closes it again (end edit).
    void Close();

    standin::StandinHost& host() { return host_; }

    // "Import new frame list", answering its Save As dialog with path.
    std::vector<ShownMessage> ImportFrameList(const std::string& path);
    // The entries of the panel's frame list, in order.
    std::vector<std::string> FrameList() const;
    // Clicks entry index of the frame list, then "Start" or "End".
    void ChooseStart(int index);
    void ChooseEnd(int index);
    // Types text into an edit of the panel.
    void Type(int controlId, const std::string& text);
    // A field's text as the panel reads a number from it (GetDlgItemInt).
    uint32_t ReadNumber(int controlId) const;
    // Clicks a check box, which toggles it.
    void Tick(int controlId);
    // "Save md2", answering its Save As dialog with path.
    std::vector<ShownMessage> SaveModel(const std::string& path);

    // What the stand-in window system noted since the last call: dialogs it
    // had to close or cancel, calls on windows that do not exist.
    std::vector<std::string> TakeNotes();

private:
    // Message boxes shown since the last call; answers left unused are dropped.
    std::vector<ShownMessage> TakeMessages();

    class UtilityPanel : public IUtil {
    public:
        void CloseUtility() override {}
    };

    standin::CommandPanel commandPanel_;
    standin::StandinHost host_;
    UtilityPanel utilityPanel_;
    UtilityObj* utility_ = nullptr;
    HWND panel_ = nullptr;
    size_t messagesSeen_ = 0;
    size_t notesSeen_ = 0;
};

}  // namespace md2export
