#include "app/entry.h"
#include "setupdata/splashfile.h"
#include "tests/launcherfixture.h"

namespace {

std::vector<std::string> opened;  // the files the faked shell was asked to open, and the library search asked for
HINSTANCE WINAPI shellExecute(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
    opened.push_back(file);
    return reinterpret_cast<HINSTANCE>(42);  // above 32: success
}
BOOL WINAPI setDefaultDllDirectories(DWORD flags) {
    opened.push_back("libraries " + std::to_string(flags));
    return TRUE;
}
bool haveLibrarySearch = true;  // whether the system has the call
const ImportPatch* procedurePatch = nullptr;
FARPROC WINAPI getProcAddress(HMODULE module, LPCSTR name) {
    if (HIWORD(name) != 0 && lstrcmpA(name, "SetDefaultDllDirectories") == 0)
        return haveLibrarySearch ? reinterpret_cast<FARPROC>(reinterpret_cast<void*>(setDefaultDllDirectories))
                                 : nullptr;
    return procedurePatch->original<decltype(&GetProcAddress)>()(module, name);
}

TEST(EntryTest, RelaunchFormAndTwoCopiesSideBySide) {
    TempDisc disc;
    // In this process, with a fake shell: the tail is opened as it stands
    // beside the program, or not at all when the path does not fit or would
    // lead out of the program folder. The library search is restricted first.
    ImportPatch shell("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(shellExecute));
    ImportPatch procedure("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(getProcAddress));
    procedurePatch = &procedure;
    const std::string tail = "\"" + std::string(260 - disc.folder().size(), 'X') + "\"";  // 263 with the folder
    relaunchFromCommandTail((tail + "X").c_str());
    relaunchFromCommandTail(tail.c_str());
    for (const char* outside :
         {"..\\..\\Windows\\System32\\cmd.exe", "C:\\Windows\\System32\\cmd.exe", "D:GAME.EXE",
          "\\\\server\\share\\GAME.EXE", "/Windows/notepad.exe", "SUB/../../GAME.EXE", "NUL", "GAME.EXE:stream"})
        relaunchFromCommandTail(outside);
    haveLibrarySearch = false;  // an older system: the tail is opened all the same
    relaunchFromCommandTail("SUB\\GAME.EXE");
    haveLibrarySearch = true;
    const std::string restricted = "libraries " + std::to_string(LOAD_LIBRARY_SEARCH_SYSTEM32);
    std::vector<std::string> expected(10, restricted);
    expected.insert(expected.begin() + 2, disc.path(tail));  // the first call opened nothing
    expected.push_back(disc.path("SUB\\GAME.EXE"));
    EXPECT_EQ(opened, expected);

    // The real program, started from another working folder: the relaunch
    // form opens the probe in the program's folder, where the probe writes its
    // report, and ends by itself; two normal starts each show a launcher.
    ASSERT_TRUE(CopyFileA("Z:" SETUP_EXE_PATH, disc.path("SETUP.EXE").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA("DSETUP.dll", disc.path("DSETUP.dll").c_str(), FALSE));  // the program needs it to start
    ASSERT_TRUE(CopyFileA("Z:" PROBE_EXE_PATH, disc.path("probe.exe").c_str(), FALSE));
    disc.writeFile("SETUP.INI", "[InstallInfo]\r\nGAME_NAME=サンプル\r\n");
    SetEnvironmentVariableA("PROBE_OUT", "OUT");
    PROCESS_INFORMATION copies[3] = {};
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    for (int i = 0; i < 3; ++i) {
        std::string line = "\"" + disc.path("SETUP.EXE") + "\"" + (i == 0 ? "   probe.exe" : "  ");
        EXPECT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &start, copies + i));
    }
    for (int i = 0; i < 200 && GetFileAttributesA(disc.path("OUT").c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    EXPECT_NE(GetFileAttributesA(disc.path("OUT").c_str()), INVALID_FILE_ATTRIBUTES);

    // Once both others wait in their launchers, a cancel ends each; every copy ends with 0.
    for (int i : {1, 2}) EXPECT_EQ(WaitForInputIdle(copies[i].hProcess, 20000), 0u);
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", "サンプル"));)
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    for (const PROCESS_INFORMATION& copy : copies) {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(copy.hProcess, 20000);
        EXPECT_TRUE(GetExitCodeProcess(copy.hProcess, &code) && code == 0) << code;
        CloseHandle(copy.hThread);
        CloseHandle(copy.hProcess);
    }
}

UINT fakeCodePage = 0;
UINT WINAPI fakeGetACP() {
    opened.push_back("code page");
    return fakeCodePage;
}
std::vector<std::pair<std::wstring, std::wstring>> wideBoxes;  // text, caption
int WINAPI recordMessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
    wideBoxes.emplace_back(text, caption);
    return IDOK;
}

// Windows of class "SETUP" that this process owns.
int backdropCount() {
    int count = 0;
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "SETUP", nullptr));) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        count += process == GetCurrentProcessId();
    }
    return count;
}

TEST(EntryTest, UnderAnotherCodePageTheStartShowsOneReadableMessageAndMakesNothing) {
    // The English systems' code page, and UTF-8 as the system's option sets it.
    for (UINT codePage : {1252u, 65001u}) {
        SCOPED_TRACE(codePage);
        resetProgramState();
        wideBoxes.clear();
        fakeCodePage = codePage;
        const int backdrops = backdropCount();
        MessageBoxRecorder ansiBoxes;
        ImportPatch acp("kernel32.dll", "GetACP", reinterpret_cast<void*>(fakeGetACP));
        ImportPatch box("user32.dll", "MessageBoxW", reinterpret_cast<void*>(recordMessageBoxW));
        ImportPatch procedure("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(getProcAddress));
        procedurePatch = &procedure;
        opened.clear();
        runSetup(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
        // The library search is restricted before anything else.
        EXPECT_EQ(opened,
                  (std::vector<std::string>{"libraries " + std::to_string(LOAD_LIBRARY_SEARCH_SYSTEM32), "code page"}));

        // UTF-16 from the source text, not from any code page of this process.
        const std::wstring expected =
            L"このプログラムを実行するには、日本語のシステム ロケール（または Windows 11 以降）が必要です。\n\n"
            L"コントロール パネルの「地域」→「管理」→「システム ロケールの変更」で「日本語（日本）」を選び、"
            L"「ベータ: ワールドワイド言語サポートで Unicode UTF-8 を使用」をオフにして、"
            L"Windows を再起動してから、もう一度実行して下さい。";
        ASSERT_EQ(wideBoxes.size(), 1u);
        EXPECT_EQ(wideBoxes[0].first, expected);
        EXPECT_EQ(wideBoxes[0].second, L"SETUP");
        EXPECT_TRUE(ansiBoxes.shown().empty());
        HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, "SETUP");
        EXPECT_EQ(mutex, nullptr);
        if (mutex != nullptr) CloseHandle(mutex);
        EXPECT_EQ(backdropCount(), backdrops);
        EXPECT_EQ(programState.instance, nullptr);
    }
    // Code page 932 itself passes without a word.
    ImportPatch box("user32.dll", "MessageBoxW", reinterpret_cast<void*>(recordMessageBoxW));
    wideBoxes.clear();
    EXPECT_TRUE(requireJapaneseCodePage());
    EXPECT_TRUE(wideBoxes.empty());
}

TEST_F(LauncherTest, BothModesCutLongGameNamesAndPlaceTheFocus) {
    // 120 times ャ (83 83), whose trail byte is a lead byte too: the status
    // texts cut the name at a character boundary.
    const std::string name(240, '\x83');
    for (bool installed : {false, true}) {
        writeGame({}, name);
        if (installed) install();
        DialogDriver driver;
        driver.when(IDC_STATUS, [&](HWND dialog) {
            EXPECT_EQ(readable(DialogDriver::text(backdrop, 0)), readable(name));
            EXPECT_EQ(readable(DialogDriver::text(dialog, IDC_STATUS)),
                      readable(installed ? name.substr(0, 214) + "の実行および\r\nアンインストールを行います"
                                         : name.substr(0, 230) + "のインストールを行います"));
            // At start the dialog manager gives the focus to the first visible
            // tab stop: the run button, or cancel while that is hidden. Checked
            // again once shown (after a child dialog), the other mode moves it
            // to its first button.
            EXPECT_EQ(DialogDriver::focusedControl(dialog), installed ? IDC_RUN : IDCANCEL);
            if (installed)
                RegDeleteKeyValueA(HKEY_CURRENT_USER, key.subKey().c_str(), "InstallFolder");
            else
                install();
            selectLauncherMode(dialog);
            EXPECT_EQ(DialogDriver::focusedControl(dialog), installed ? IDC_INSTALL_UNINSTALL : IDC_RUN);
            PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        });
        EXPECT_EQ(runDialog(), 0);  // the steps all ran, or the driver says so
    }
}

DWORD WINAPI readOnlyAttributes(LPCSTR) { return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY; }

TEST_F(LauncherTest, StartEndsWithoutAGameNameAndTheInstalledCopyCheckWarnsOnlyOfAnUnsafeFolder) {
    writeGame({"GAME_NAME=NoData"});  // what a missing key reads as
    DialogDriver noSteps;             // only takes away the WM_QUIT that the launcher leaves when it goes
    EXPECT_EQ(runDialog(), 0);
    EXPECT_EQ(DialogDriver::text(backdrop, 0), "SETUP");
    ASSERT_EQ(boxes.shown().size(), 1u);
    const HWND owner = boxes.shown()[0].owner;  // the launcher, never shown
    EXPECT_TRUE(owner != nullptr && owner != backdrop);
    EXPECT_EQ(readable(boxes.shown()[0]), readable(RecordedMessageBox{owner, "初期化に失敗しました", "SETUP", MB_OK}));

    // No installed copy, and nothing said. REG_NAME missing last: the key path
    // formed before stays, and must not be used.
    const std::string longEntry = "COPYFILE_000=" + std::string(255, 'L');
    for (const char* line : {"COPYFILE_000=NoData", longEntry.c_str(), "COPYFILE_000=MISSING.EXE", "REG_NAME=NoData"}) {
        writeGame({line});
        install();
        EXPECT_FALSE(checkInstalledCopy()) << line;
    }
    // The safety rule comes before the first file's path: a folder that is
    // gone, and one read-only (the installed copy's rule refuses that too).
    writeGame({longEntry});
    record(disc->path("Gone"));
    EXPECT_FALSE(checkInstalledCopy());
    install();
    ImportPatch readOnly("kernel32.dll", "GetFileAttributesA", reinterpret_cast<void*>(readOnlyAttributes));
    EXPECT_FALSE(checkInstalledCopy());
    ASSERT_EQ(boxes.shown().size(), 3u);  // none from the silent cases
    EXPECT_EQ(readable(boxes.shown()[2]),
              readable(RecordedMessageBox{nullptr,
                                          "プログラムが想定外のフォルダで実行された形跡があります。\n"
                                          "安全の為にインストールされたプログラムのアンインストールはしません。",
                                          "注意", MB_OK | MB_ICONEXCLAMATION}));
}

// What the backdrop shows: its frame over the whole screen, the splash files
// in the corners that the launcher leaves, and after an uncover exactly that
// part again from its back buffer. (Wine keeps each window's own surface, so
// really covering the backdrop with another window would not invalidate
// anything: the uncover is an invalidated and erased part.)
TEST_F(LauncherTest, BackdropShowsTheSplashFilesThatLoadAndRepaintsFromItsBackBuffer) {
    const RECT screenRect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT frame, uncovered = {150, 150, 250, 250};
    EXPECT_TRUE(GetWindowRect(backdrop, &frame) && EqualRect(&frame, &screenRect));
    const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    // Slot 0 is missing; slot 3 is open in another program, which lets others
    // read it but not have it to themselves; the bytes after each bitmap are
    // not read.
    writeGame();
    for (int slot : {1, 2, 3}) disc->writeSplash(slot, makeBitmapFile(30, 20, slot == 1 ? red : blue) + "trailing");
    HANDLE held = CreateFileA(disc->splashPath(3).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
    DialogDriver driver;
    driver.when(IDC_STATUS, [](HWND dialog) { DialogDriver::press(dialog, IDCANCEL); });
    runDialog();
    CloseHandle(held);

    // The corners of what the launcher's frame leaves of the screen, as the backdrop shows them.
    const int right = programState.screenWidth - 2 * GetSystemMetrics(SM_CXDLGFRAME);
    const int bottom = programState.screenHeight - 2 * GetSystemMetrics(SM_CYDLGFRAME) - GetSystemMetrics(SM_CYCAPTION);
    const struct {
        int x, y;
        COLORREF colour;
    } pixels[] = {{0, 0, white},           {right - 1, bottom - 1, white}, {right - 30, 19, red},
                  {right - 31, 19, white}, {right - 30, 20, white},        {right - 1, 0, red},
                  {29, bottom - 20, blue}, {30, bottom - 20, white},       {29, bottom - 21, white},
                  {0, bottom - 1, blue}};
    HDC screen = GetDC(backdrop);
    for (const auto& p : pixels) EXPECT_EQ(GetPixel(screen, p.x, p.y), p.colour) << p.x << "," << p.y;
    PatBlt(programState.backBufferDc, 100, 100, 200, 200, BLACKNESS);
    RedrawWindow(backdrop, &uncovered, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_EQ(GetPixel(screen, 150, 150), 0u);         // the uncovered part, from the back buffer
    EXPECT_EQ(GetPixel(screen, 149, 149), 0xFFFFFFu);  // the rest, not repainted
    ReleaseDC(backdrop, screen);

    // Refused: not "BM"; shorter than a file header; a total size below both
    // headers, beyond the file or of 4 GiB; a core header; two planes; no
    // width; no height; top-down; compressed; 8 bits; a colour table; rows
    // beyond the block.
    const std::string good = makeBitmapFile(8, 8, red);  // 14 + 40 + 8 rows of 24 bytes
    // The good file with value put little-endian at offset.
    const auto with = [&good](size_t offset, uint32_t value, size_t size = 4) {
        return std::string(good).replace(offset, size, reinterpret_cast<const char*>(&value), size);
    };
    const std::string bad[] = {"XY" + good.substr(2), good.substr(0, 10),
                               with(2, 53),           with(2, uint32_t(good.size() + 1)),
                               with(2, 0xFFFFFFFF),   with(14, 12),
                               with(26, 2, 2),        with(18, 0),
                               with(22, 0),           with(22, uint32_t(-8)),
                               with(30, BI_RLE8),     with(28, 8, 2),
                               with(46, 1),           with(22, 9),
                               with(18, 0x7FFFFFFF)};
    void* block = nullptr;
    for (const std::string& file : bad) {
        disc->writeSplash(0, file);
        EXPECT_TRUE(loadSplashFile(disc->splashPath(0).c_str(), block) != SplashProblem::none && !block) << &file - bad;
    }
}

}  // namespace
