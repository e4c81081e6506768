#include "install/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "setupdata/pathrules.h"
#include "setupdata/programstate.h"
#include "setupdata/setupfile.h"
#include "setupdata/shortcutpaths.h"
#include "setupdata/text.h"

#ifndef _WIN64
static_assert(sizeof(SHFILEINFOA) == 352, "the 32-bit file information record");
#endif

namespace {

// Saves one link at linkPath. iconPath nullptr: the icon location the shell
// reports for linkPath, when it reports one. Returns the COM result of the
// last step reached.
HRESULT createShortcut(const char* targetPath, const char* linkPath, const char* arguments, const char* description,
                       const char* workingFolder, const char* iconPath, int iconNumber) {
    // Asked before the save: over an earlier install this is the existing link.
    SHFILEINFOA shellIcon = {};
    const bool haveShellIcon =
        SHGetFileInfoA(linkPath, FILE_ATTRIBUTE_NORMAL, &shellIcon, sizeof shellIcon, SHGFI_ICONLOCATION) != 0 &&
        shellIcon.szDisplayName[0] != '\0';

    // Once per link, on whichever thread makes it.
    (void)CoInitialize(nullptr);
    IShellLinkA* shellLink = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&shellLink));
    if (SUCCEEDED(result)) {
        IPersistFile* file = nullptr;
        result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (SUCCEEDED(result)) {
            // The setters' results are not looked at: the save tells.
            (void)shellLink->SetPath(targetPath);
            (void)shellLink->SetDescription(description);
            (void)shellLink->SetArguments(arguments);
            (void)shellLink->SetWorkingDirectory(workingFolder);
            if (iconPath != nullptr) {
                (void)shellLink->SetIconLocation(iconPath, iconNumber);
            } else if (haveShellIcon) {
                (void)shellLink->SetIconLocation(shellIcon.szDisplayName, shellIcon.iIcon);
            }
            (void)shellLink->SetShowCmd(SW_SHOWNORMAL);
            wchar_t widePath[kPathSize];
            result = MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, kPathSize) != 0
                         ? file->Save(widePath, TRUE)
                         : HRESULT_FROM_WIN32(GetLastError());
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return result;
}

struct GroupRun {
    char programsFolder[kPathSize];
};

bool makeGroupShortcut(const ShortcutEntry& group, void* context) {
    const auto& run = *static_cast<const GroupRun*>(context);
    if (!isAcceptedShortcutGroup(group, run.programsFolder)) return true;

    ShortcutPaths paths;
    if (!composeShortcutPaths(group, run.programsFolder, programState.installFolder, paths)) return true;
    // A folder or link planted as a link would lead the save elsewhere.
    if (!followsNoLink(paths.link)) return true;
    // An existing folder is fine; one that cannot be made fails the link's save.
    (void)CreateDirectoryA(paths.folder, nullptr);
    // A link that cannot be made does not stop the install.
    (void)createShortcut(paths.target, paths.link, "", group.description, programState.installFolder,
                         group.hasIconFile ? paths.icon : nullptr, group.iconNumber);
    return true;
}

}  // namespace

void makeStartMenuShortcuts(HWND owner) {
    GroupRun run;
    if (!SHGetSpecialFolderPathA(owner, run.programsFolder, CSIDL_PROGRAMS, FALSE)) return;
    walkShortcutList(makeGroupShortcut, &run);
}
