// The in-memory platform's message boxes, open dialog and folder browser,
// answered as scripted.
#include <algorithm>
#include <cstring>

#include "framework/gui/system.h"
#include "framework/memory/memory_platform.h"

namespace fw {

int MemoryPlatform::MessageBox(THandle owner, const std::string& text, const std::string& caption,
                               unsigned flags) {
    messageBoxes.push_back({owner, text, caption, flags});
    // The box is active while it is up; its owner is active again after it.
    const bool ownedByForm = owner && windows_.count(owner) && WindowOf(owner).form;
    if (ownedByForm) Deactivate(owner);
    focused = 0;
    if (onMessageBox) onMessageBox(messageBoxes.back());
    if (ownedByForm && windows_.count(owner)) Activate(owner);
    if (messageBoxAnswers.empty()) return IDOK;
    int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

bool MemoryPlatform::ExecuteOpenDialog(THandle owner, const std::string& filter, unsigned options,
                                       std::string& fileName) {
    openDialogs.push_back({owner, filter, options});
    if (openDialogAnswers.empty()) return false;
    std::optional<std::string> answer = openDialogAnswers.front();
    openDialogAnswers.pop_front();
    if (!answer) return false;
    fileName = *answer;
    return true;
}

void* MemoryPlatform::BrowseForFolder(const TBrowseInfo& request) {
    bool zeroed = request.pszDisplayName &&
                  std::all_of(request.pszDisplayName, request.pszDisplayName + MAX_PATH, [](char c) { return c == 0; });
    browses.push_back({request.hwndOwner, request.pidlRoot, zeroed, request.lpszTitle ? request.lpszTitle : "",
                       request.ulFlags, request.lpfn});
    if (folderAnswers.empty()) return nullptr;
    std::optional<std::string> answer = folderAnswers.front();
    folderAnswers.pop_front();
    if (!answer) return nullptr;
    ++idListsOutstanding;
    return new std::string(*answer);
}

bool MemoryPlatform::PathFromIdList(void* idList, char* path) {
    const std::string& folder = *static_cast<std::string*>(idList);
    if (folder.empty() || folder.size() >= static_cast<std::size_t>(MAX_PATH)) return false;
    std::memcpy(path, folder.c_str(), folder.size() + 1);
    return true;
}

void MemoryPlatform::FreeIdList(void* idList) {
    delete static_cast<std::string*>(idList);
    --idListsOutstanding;
}

}  // namespace fw
