// The modal side of the stand-in window system: dialog boxes, message boxes
// and the Save As dialog, each answered from the scripted user's queue.
#include <cstring>
#include <utility>

#include "standin/windows/window_state.h"

namespace standin::detail {

namespace {

bool SameGroup(ScriptedAnswer::Kind a, ScriptedAnswer::Kind b) {
    auto group = [](ScriptedAnswer::Kind k) {
        return k == ScriptedAnswer::Kind::SaveAsCancel ? ScriptedAnswer::Kind::SaveAs : k;
    };
    return group(a) == group(b);
}

// The filter is pairs of NUL-terminated strings closed by an empty one.
std::string FilterBytes(const char* filter) {
    size_t n = 0;
    while (filter[n] != '\0' || filter[n + 1] != '\0') ++n;
    return std::string(filter, n + 2);
}

// The members the dialog is to find zero, by name, for the version-400 layout
// and, when the caller says the structure has them, the later ones.
std::vector<std::string> NonZeroMembers(const OPENFILENAMEA& ofn) {
    std::vector<std::string> names;
    auto check = [&names](bool nonZero, const char* name) {
        if (nonZero) names.push_back(name);
    };
    check(ofn.hInstance != nullptr, "hInstance");
    check(ofn.lpstrCustomFilter != nullptr, "lpstrCustomFilter");
    check(ofn.nMaxCustFilter != 0, "nMaxCustFilter");
    check(ofn.nFilterIndex != 0, "nFilterIndex");
    check(ofn.lpstrFileTitle != nullptr, "lpstrFileTitle");
    check(ofn.nMaxFileTitle != 0, "nMaxFileTitle");
    check(ofn.lpstrInitialDir != nullptr, "lpstrInitialDir");
    check(ofn.nFileOffset != 0, "nFileOffset");
    check(ofn.nFileExtension != 0, "nFileExtension");
    check(ofn.lpstrDefExt != nullptr, "lpstrDefExt");
    check(ofn.lCustData != 0, "lCustData");
    check(ofn.lpfnHook != nullptr, "lpfnHook");
    check(ofn.lpTemplateName != nullptr, "lpTemplateName");
    if (ofn.lStructSize == sizeof(OPENFILENAMEA)) {
        check(ofn.pvReserved != nullptr, "pvReserved");
        check(ofn.dwReserved != 0, "dwReserved");
        check(ofn.FlagsEx != 0, "FlagsEx");
    }
    return names;
}

}  // namespace

bool TakeAnswer(ScriptedAnswer::Kind kind, ScriptedAnswer& out) {
    auto& answers = Global().answers;
    for (auto it = answers.begin(); it != answers.end(); ++it) {
        if (SameGroup(it->kind, kind)) {
            out = std::move(*it);
            answers.erase(it);
            return true;
        }
    }
    return false;
}

bool TakeDialogAction(DialogAction& out) {
    ScriptedAnswer answer;
    if (!TakeAnswer(ScriptedAnswer::Kind::Dialog, answer)) return false;
    out = std::move(answer.action);
    return true;
}

}  // namespace standin::detail

namespace standin {

using detail::Global;
using detail::ScriptedAnswer;

void QueueSaveAs(std::string path) {
    ScriptedAnswer a{ScriptedAnswer::Kind::SaveAs, std::move(path), 0, {}};
    Global().answers.push_back(std::move(a));
}

void QueueSaveAsCancel() { Global().answers.push_back({ScriptedAnswer::Kind::SaveAsCancel, {}, 0, {}}); }

void QueueMessageBoxAnswer(int answer) { Global().answers.push_back({ScriptedAnswer::Kind::MessageBox, {}, answer, {}}); }

void QueueDialogAction(DialogAction action) {
    Global().answers.push_back({ScriptedAnswer::Kind::Dialog, {}, 0, std::move(action)});
}

size_t UnusedAnswers() { return Global().answers.size(); }

void ClearAnswers() { Global().answers.clear(); }

int CommonControlInits() { return Global().commonControlInits; }

}  // namespace standin

using standin::detail::Find;
using standin::detail::Global;
using standin::detail::Note;
using standin::detail::ScriptedAnswer;

INT_PTR DialogBoxParamA(HINSTANCE module, LPCSTR dialogTemplate, HWND parent, DLGPROC proc, LPARAM param) {
    const HWND previousFocus = Global().focus;
    const HWND dialog = standin::detail::CreateDialogWindow(module, dialogTemplate, parent, proc, param, true);
    if (dialog == nullptr) return -1;
    const int templateId = Find(dialog)->templateId;

    // The dialog's message loop: the user acts until the dialog ends itself.
    bool gaveUp = false;
    for (;;) {
        standin::detail::Window* d = Find(dialog);
        if (d == nullptr || d->ended) break;
        standin::DialogAction action;
        if (!standin::detail::TakeDialogAction(action)) {
            gaveUp = true;
            break;
        }
        if (action) action(dialog);
    }

    standin::detail::Window* d = Find(dialog);
    INT_PTR result = -1;
    bool ended = false;
    if (d == nullptr) {
        Note("modal dialog " + standin::detail::HandleText(dialog) + " was destroyed without EndDialog");
    } else if (gaveUp) {
        Note("modal dialog " + std::to_string(templateId) + " left open by the script; the stand-in closed it");
    } else {
        result = d->result;
        ended = true;
    }
    Global().record.modalOutcomes.push_back({dialog, templateId, result, ended});
    standin::detail::DestroyWindowTree(dialog);
    if (Find(previousFocus)) standin::detail::ChangeFocus(previousFocus);
    return result;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    standin::MessageBoxShown shown;
    shown.owner = owner;
    shown.text = text ? text : "";
    shown.caption = caption ? caption : "Error";  // the system's caption when none is given
    shown.type = type;
    ScriptedAnswer answer;
    shown.scripted = standin::detail::TakeAnswer(ScriptedAnswer::Kind::MessageBox, answer);
    shown.answer = shown.scripted ? answer.answer : IDOK;
    // A box with only OK answers OK whatever closes it.
    if ((type & 0xF) == MB_OK || (shown.answer != IDOK && shown.answer != IDCANCEL)) shown.answer = IDOK;
    Global().record.messageBoxes.push_back(shown);
    return shown.answer;
}

BOOL GetSaveFileNameA(OPENFILENAMEA* ofn) {
    if (ofn == nullptr) {
        Note("GetSaveFileNameA: no structure");
        return FALSE;
    }
    standin::SaveAsShown shown;
    shown.structSize = ofn->lStructSize;
    shown.owner = ofn->hwndOwner;
    shown.hasFilter = ofn->lpstrFilter != nullptr;
    if (shown.hasFilter) shown.filter = standin::detail::FilterBytes(ofn->lpstrFilter);
    shown.maxFile = ofn->nMaxFile;
    if (ofn->lpstrFile != nullptr) shown.initialFile.assign(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    shown.hasTitle = ofn->lpstrTitle != nullptr;
    if (shown.hasTitle) shown.title = ofn->lpstrTitle;
    shown.flags = ofn->Flags;
    shown.nonZeroMembers = standin::detail::NonZeroMembers(*ofn);

    auto finish = [&shown](BOOL result) {
        shown.chose = result != FALSE;
        Global().record.saveAsDialogs.push_back(shown);
        return result;
    };
    if (ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400A && ofn->lStructSize != sizeof(OPENFILENAMEA)) {
        Note("GetSaveFileNameA: structure size " + std::to_string(ofn->lStructSize) + " is not a known layout");
        return finish(FALSE);
    }
    if (ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) {
        Note("GetSaveFileNameA: no file-name buffer");
        return finish(FALSE);
    }

    ScriptedAnswer answer;
    shown.scripted = standin::detail::TakeAnswer(ScriptedAnswer::Kind::SaveAs, answer);
    if (!shown.scripted) {
        Note("Save As dialog unanswered; the stand-in cancelled it");
        return finish(FALSE);
    }
    if (answer.kind == ScriptedAnswer::Kind::SaveAsCancel) return finish(FALSE);
    if (answer.path.size() + 1 > ofn->nMaxFile) {
        Note("Save As answer \"" + answer.path + "\" does not fit the caller's " + std::to_string(ofn->nMaxFile) +
             "-character buffer");
        return finish(FALSE);
    }
    std::memcpy(ofn->lpstrFile, answer.path.c_str(), answer.path.size() + 1);
    // Where the file name and its extension begin, as the dialog reports them.
    const size_t slash = answer.path.find_last_of("\\/");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = answer.path.find_last_of('.');
    size_t extension = answer.path.size();  // no extension: the closing NUL
    if (dot != std::string::npos && dot >= nameStart) extension = dot + 1 == answer.path.size() ? 0 : dot + 1;
    ofn->nFileOffset = static_cast<WORD>(nameStart);
    ofn->nFileExtension = static_cast<WORD>(extension);
    shown.answer = answer.path;
    return finish(TRUE);
}

void InitCommonControls() { ++Global().commonControlInits; }
