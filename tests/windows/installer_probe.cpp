// SPDX-License-Identifier: GPL-2.0-or-later
// What the installer's test asks of the system:
//   installer_probe --shortcut FILE.lnk   the shortcut as the shell reads it, one per line
//                                         (UTF-8): target, arguments, directory, icon
//                                         (PATH,INDEX) and description, each after its name
//   installer_probe --run COMMAND_LINE    runs COMMAND_LINE exactly as given, as a deployment
//                                         tool runs an uninstall entry's QuietUninstallString,
//                                         waits for it and ends with its exit status
// Exit status 3 when the probe itself fails.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using Microsoft::WRL::ComPtr;

std::string utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(result.size() - 1);
    return result;
}

void printField(const char* name, const wchar_t* value)
{
    std::printf("%s %s\n", name, utf8(value).c_str());
}

int printShortcut(const wchar_t* file)
{
    if (FAILED(CoInitialize(nullptr)))
        return 3;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> persisted;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&persisted)) || FAILED(persisted->Load(file, STGM_READ))) {
        std::printf("cannot read %s\n", utf8(file).c_str());
        return 3;
    }
    wchar_t text[INFOTIPSIZE];
    int iconIndex = 0;
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    printField("target", text);
    link->GetArguments(text, INFOTIPSIZE);
    printField("arguments", text);
    link->GetWorkingDirectory(text, MAX_PATH);
    printField("directory", text);
    link->GetIconLocation(text, MAX_PATH, &iconIndex);
    std::printf("icon %s,%d\n", utf8(text).c_str(), iconIndex);
    link->GetDescription(text, INFOTIPSIZE);
    printField("description", text);
    return 0;
}

int run(wchar_t* commandLine)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("cannot start %s: error %lu\n", utf8(commandLine).c_str(), GetLastError());
        return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 3;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

}

int main()
{
    int count = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> arguments(
        CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    const std::wstring mode = arguments && count == 3 ? arguments.get()[1] : L"";
    if (mode == L"--shortcut")
        return printShortcut(arguments.get()[2]);
    if (mode == L"--run")
        return run(arguments.get()[2]);
    std::fprintf(stderr, "usage: installer_probe --shortcut FILE.lnk | --run COMMAND_LINE\n");
    return 3;
}
