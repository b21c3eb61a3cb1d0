#include "updater/lib/update_utility.h"

#include <string>

#include "common/text.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/fs.h"
#include "platform/inet/inet.h"
#include "platform/process/process.h"
#include "updater/lib/update_files.h"
#include "updater/lib/update_state.h"

int UpdateState = 0;
bool CancelRequested = false;
HWND UpdateDialogWindow = nullptr;
HINTERNET InternetSession = nullptr;
char UpdateServer[1024];
char PatcherServer[1024];
char ProductServer[1024];

namespace {

constexpr const char* kAgentName = "Zandorf Patch Utility";
constexpr const char* kClientProgram = "game.dll";
constexpr const char* kCopyName = "patch.bin";
constexpr const char* kErrorCaption = "Error Message";
constexpr const char* kUpdatedCaption = "Zandorf Patch Message";
constexpr const char* kUpdatedText =
    "The Zandorf Patch Utility has been updated.\nPlease close this message box and run your\nprogram again.";
constexpr const char* kAdviceFormat =
    "%s\nIf you have problems connecting to the game server,\nyou may need to manually update your client software.";

const DialogItemTemplate kUpdateDialogItems[] = {
    {"button", "Cancel", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 113, 57, 50, 14, IDCANCEL},
    {"msctls_progress32", "", WS_CHILD | WS_VISIBLE, 7, 39, 261, 9, IDC_PROGRESS},
    {"static", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 7, 261, 10, IDC_STATUS_LINE},
    {"static", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 23, 261, 10, IDC_DETAIL_LINE},
    {"static", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 63, 57, 8, IDC_VERSION},
};

std::string DirectoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Our programs have no extension; the name the utility was built under is accepted too.
bool IsSelfCopyingName(const std::string& name) {
    return EqualsNoCase(name, "spell") || EqualsNoCase(name, "spell.exe");
}

// An error in states 1 to 3: silent after a cancel, else the box and the client's start.
void FailStep(const char* text) {
    if (CancelRequested) {
        UpdateState = 5;
        return;
    }
    ShowUpdateError(text);
    UpdateState = 4;
}

// One pass over a server: its file list, then the files that differ. The texts name the
// failing step.
struct PassTexts {
    const char* fetch;
    const char* parse;
    const char* download;
};

bool RunPass(const char* server, const PassTexts& texts, int* count) {
    *count = 0;
    if (!FetchFileList(server)) {
        FailStep(texts.fetch);
        return false;
    }
    if (!ParseFileList(kListFileName)) {
        FailStep(texts.parse);
        return false;
    }
    if (!DownloadMarkedFiles(server, count)) {
        FailStep(texts.download);
        return false;
    }
    return true;
}

}  // namespace

const DialogTemplate UpdateDialog = {
    WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    277,
    79,
    "Zandorf Update",
    "MS Sans Serif",
    8,
    kUpdateDialogItems,
    static_cast<int>(sizeof kUpdateDialogItems / sizeof kUpdateDialogItems[0]),
};

void ResetUpdaterState() {
    CloseInternetSession();
    if (UpdateDialogWindow && IsWindow(UpdateDialogWindow))
        DestroyWindow(UpdateDialogWindow);
    UpdateState = 0;
    CancelRequested = false;
    UpdateDialogWindow = nullptr;
    UpdateServer[0] = PatcherServer[0] = ProductServer[0] = '\0';
    CurrentFileList = FileList();
    ResetTransferState();
}

void PrepareStartAs(const char* programPath) {
    std::string path = programPath ? programPath : "";
    if (!path.empty() && IsSelfCopyingName(FileNameOf(path))) {
        // The copy runs in place of this program, so that the patcher pass can replace the
        // program's own file. Only a whole copy is started.
        std::string copy = DirectoryOf(path) + "/" + kCopyName;
        if (platform::CopyFileTo(path, copy) && platform::ReplaceProgram(copy, {kCopyName}))
            ExitProcess(0);  // where the copy was started beside us rather than in our place
    }
    if (!path.empty())
        ChangeToProgramDir(path);
    InitCommonControls();
    RemoveListFile();
    RemoveStalePartFile();
}

void PrepareStart() {
    PrepareStartAs(platform::ProgramPath().c_str());
}

bool ChangeToProgramDir(const std::string& programPath) {
    return platform::ChangeDirectory(DirectoryOf(programPath));
}

int WinMain(HINSTANCE, HINSTANCE, const char*, int) {
    PrepareStart();
    return RunUpdateDialog();
}

int RunUpdateDialog() {
    UpdateDialogWindow = CreateDialogIndirectParam(nullptr, &UpdateDialog, nullptr, UpdateDlgProc, 0);
    if (!UpdateDialogWindow)
        return 1;
    InitDialogTexts();
    // The state machine advances only when no message waits, one step per idle turn.
    MSG msg{};
    for (;;) {
        if (PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (GetMessage(&msg, nullptr, 0, 0) <= 0)
                break;
            if (!IsDialogMessage(UpdateDialogWindow, &msg)) {
                TranslateMessage(&msg);
                DispatchMessage(&msg);
            }
        } else {
            UpdateStep();
        }
    }
    RemoveListFile();
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

INT_PTR UpdateDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        HandleInitDialog();
        return TRUE;
    case WM_SHOWWINDOW:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            CancelRequested = true;
        else
            PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

void HandleInitDialog() {}

void InitDialogTexts() {
    SetDlgItemText(UpdateDialogWindow, IDC_VERSION, "v. 1.00");
    SetDlgItemText(UpdateDialogWindow, IDC_STATUS_LINE, "Checking for updated files...");
    SetDlgItemText(UpdateDialogWindow, IDC_DETAIL_LINE, "Please wait.");
    SendDlgItemMessage(UpdateDialogWindow, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
}

void UpdateStep() {
    int count = 0;
    switch (UpdateState) {
    case 0:
        if (OpenInternetSession()) {
            UpdateState = 1;
        } else {
            MessageBox(nullptr, "Cannot start Internet Services.", kErrorCaption, MB_OK | MB_ICONWARNING);
            UpdateState = 5;
        }
        break;
    case 1:
        if (ReadServerList())
            UpdateState = 2;
        else
            FailStep("Cannot connect to update server.");
        break;
    case 2:
        if (!RunPass(PatcherServer,
                     {"Cannot connect to patcher update server.", "Cannot parse patcher update file.",
                      "Cannot update patch utility."},
                     &count))
            break;
        if (count == 0) {
            UpdateState = 3;
        } else {
            // The utility's own files were replaced: the user starts it again.
            MessageBox(nullptr, kUpdatedText, kUpdatedCaption, MB_OK | MB_ICONWARNING);
            UpdateState = 5;
        }
        break;
    case 3:
        if (!RunPass(ProductServer,
                     {"Cannot connect to product update server.", "Cannot parse product update file.",
                      "Could not complete product update."},
                     &count))
            break;
        Sleep(500);
        UpdateState = 4;
        break;
    case 4:
        // Not waited for, and a failed start is not reported.
        platform::StartProgram(kClientProgram, {kClientProgram});
        UpdateState = 5;
        break;
    default:
        CloseInternetSession();
        DestroyWindow(UpdateDialogWindow);
        break;
    }
}

bool OpenInternetSession() {
    InternetSession = InternetOpenA(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    return InternetSession != nullptr;
}

void CloseInternetSession() {
    if (InternetSession)
        InternetCloseHandle(InternetSession);
    InternetSession = nullptr;
}

void ShowUpdateError(const char* text) {
    if (!text)
        return;
    char message[1024];
    FormatText(message, sizeof message, kAdviceFormat, text);
    MessageBox(nullptr, message, kErrorCaption, MB_OK | MB_ICONWARNING);
}

void RemoveListFile() {
    platform::RemoveFile(kListFileName);
}
