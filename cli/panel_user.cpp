#include "cli/panel_user.h"

#include "shell/resources/resource_ids.h"

namespace md2export {

PanelUser::PanelUser(standin::Scene& scene) : host_(&scene, &commandPanel_) {
    messagesSeen_ = standin::Record().messageBoxes.size();
    notesSeen_ = standin::Record().notes.size();
}

PanelUser::~PanelUser() { Close(); }

bool PanelUser::Open(UtilityObj* utility) {
    if (!utility) return false;
    utility_ = utility;
    const size_t pagesBefore = commandPanel_.pages().size();
    utility_->BeginEditParams(&host_, &utilityPanel_);
    if (commandPanel_.pages().size() == pagesBefore) return false;
    panel_ = commandPanel_.pages().back().window;
    return true;
}

void PanelUser::Close() {
    if (!utility_) return;
    utility_->EndEditParams(&host_, &utilityPanel_);
    utility_ = nullptr;
    panel_ = nullptr;
}

std::vector<ShownMessage> PanelUser::ImportFrameList(const std::string& path) {
    standin::QueueSaveAs(path);
    standin::user::ClickButton(panel_, IDC_IMPORT_FRAMES);
    return TakeMessages();
}

std::vector<std::string> PanelUser::FrameList() const {
    return standin::DescribeWindow(standin::user::FindControl(panel_, IDC_FRAME_LIST)).items;
}

void PanelUser::ChooseStart(int index) {
    standin::user::SelectListEntry(panel_, IDC_FRAME_LIST, index);
    standin::user::ClickButton(panel_, IDC_START);
}

void PanelUser::ChooseEnd(int index) {
    standin::user::SelectListEntry(panel_, IDC_FRAME_LIST, index);
    standin::user::ClickButton(panel_, IDC_END);
}

void PanelUser::Type(int controlId, const std::string& text) { standin::user::TypeText(panel_, controlId, text); }

uint32_t PanelUser::ReadNumber(int controlId) const {
    BOOL translated = FALSE;
    return GetDlgItemInt(panel_, controlId, &translated, FALSE);
}

void PanelUser::Tick(int controlId) { standin::user::ClickButton(panel_, controlId); }

std::vector<ShownMessage> PanelUser::SaveModel(const std::string& path) {
    standin::QueueSaveAs(path);
    standin::user::ClickButton(panel_, IDC_SAVE_MD2);
    return TakeMessages();
}

std::vector<ShownMessage> PanelUser::TakeMessages() {
    // A dialog the plug-in did not open (the panel refused the input first)
    // must not answer a later one.
    standin::ClearAnswers();
    std::vector<ShownMessage> shown;
    const auto& boxes = standin::Record().messageBoxes;
    for (; messagesSeen_ < boxes.size(); ++messagesSeen_)
        shown.push_back({boxes[messagesSeen_].caption, boxes[messagesSeen_].text});
    return shown;
}

std::vector<std::string> PanelUser::TakeNotes() {
    const auto& notes = standin::Record().notes;
    std::vector<std::string> taken(notes.begin() + static_cast<std::ptrdiff_t>(notesSeen_), notes.end());
    notesSeen_ = notes.size();
    return taken;
}

}  // namespace md2export
