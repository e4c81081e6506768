// The fake objects are plain structs with the interfaces' C layouts, so that
// only the methods the walk calls need filling in.
#define CINTERFACE
#include "tests/harness/desktopshell.h"

#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>

#include <cstring>

const char* const kDesktopShellSteps[10] = {
    "CoCreateInstance", "FindWindowSW",         "IServiceProvider", "QueryService",    "QueryActiveShellView",
    "GetItemObject",    "IShellFolderViewDual", "get_Application",  "IShellDispatch2", "ShellExecute"};

namespace {

const char* failing = nullptr;
int references = 0;
std::vector<std::string> executions;
const ImportPatch* createPatch = nullptr;

bool fails(const char* step) { return failing != nullptr && std::strcmp(failing, step) == 0; }

// Hands out object as the answer of step: a reference more, or the failure.
HRESULT give(const char* step, void* object, void** out, HRESULT failure = E_FAIL) {
    *out = nullptr;
    if (fails(step)) return failure;
    *out = object;
    ++references;
    return S_OK;
}

// Every object is one vtable pointer; the table says which object answers
// which interface of another.
struct Object {
    const void* vtable;
};
Object windows, desktop, provider, browser, view, background, folderView, application, shell;

HRESULT STDMETHODCALLTYPE queryInterface(Object* self, REFIID iid, void** out) {
    const struct {
        Object* from;
        const IID* iid;
        Object* to;
        const char* step;
    } answers[] = {{&desktop, &IID_IServiceProvider, &provider, "IServiceProvider"},
                   {&background, &IID_IShellFolderViewDual, &folderView, "IShellFolderViewDual"},
                   {&application, &IID_IShellDispatch2, &shell, "IShellDispatch2"}};
    for (const auto& answer : answers)
        if (self == answer.from && IsEqualIID(iid, *answer.iid)) return give(answer.step, answer.to, out);
    *out = nullptr;
    return E_NOINTERFACE;
}
ULONG STDMETHODCALLTYPE addRef(Object*) { return static_cast<ULONG>(++references); }
ULONG STDMETHODCALLTYPE release(Object*) { return static_cast<ULONG>(--references); }

// The IUnknown part of any of the interfaces' tables.
template <class Table>
Table unknownTable() {
    Table table = {};
    table.QueryInterface = reinterpret_cast<decltype(table.QueryInterface)>(reinterpret_cast<void*>(&queryInterface));
    table.AddRef = reinterpret_cast<decltype(table.AddRef)>(reinterpret_cast<void*>(&addRef));
    table.Release = reinterpret_cast<decltype(table.Release)>(reinterpret_cast<void*>(&release));
    return table;
}

HRESULT STDMETHODCALLTYPE findWindow(IShellWindows*, VARIANT* location, VARIANT* root, int windowClass, LONG* window,
                                     int options, IDispatch** out) {
    // Only the desktop, by its class, with its object: no desktop answers S_FALSE.
    if (location->vt != VT_EMPTY || root->vt != VT_EMPTY || windowClass != SWC_DESKTOP || options != SWFO_NEEDDISPATCH)
        return E_INVALIDARG;
    *window = 0x10010;
    return give("FindWindowSW", &desktop, reinterpret_cast<void**>(out), S_FALSE);
}
HRESULT STDMETHODCALLTYPE queryService(IServiceProvider*, REFGUID service, REFIID iid, void** out) {
    if (!IsEqualGUID(service, SID_STopLevelBrowser) || !IsEqualIID(iid, IID_IShellBrowser)) return E_NOINTERFACE;
    return give("QueryService", &browser, out);
}
HRESULT STDMETHODCALLTYPE activeView(IShellBrowser*, IShellView** out) {
    return give("QueryActiveShellView", &view, reinterpret_cast<void**>(out));
}
HRESULT STDMETHODCALLTYPE itemObject(IShellView*, UINT item, REFIID iid, void** out) {
    if (item != SVGIO_BACKGROUND || !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    return give("GetItemObject", &background, out);
}
HRESULT STDMETHODCALLTYPE getApplication(IShellFolderViewDual*, IDispatch** out) {
    return give("get_Application", &application, reinterpret_cast<void**>(out));
}

std::string narrow(const wchar_t* text) {
    char bytes[MAX_PATH * 2] = "";
    WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}
std::string shown(const VARIANT& value) {
    if (value.vt == VT_EMPTY) return "-";
    if (value.vt == VT_BSTR) return narrow(value.bstrVal);
    if (value.vt == VT_I4) return std::to_string(value.lVal);
    return "type " + std::to_string(value.vt);
}
HRESULT STDMETHODCALLTYPE shellExecute(IShellDispatch2*, BSTR file, VARIANT arguments, VARIANT folder,
                                       VARIANT operation, VARIANT show) {
    executions.push_back(narrow(file) + "|" + shown(arguments) + "|" + shown(folder) + "|" + shown(operation) + "|" +
                         shown(show));
    return fails("ShellExecute") ? E_FAIL : S_OK;
}

HRESULT WINAPI createInstance(REFCLSID type, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
    if (!IsEqualCLSID(type, CLSID_ShellWindows))
        return createPatch->original<decltype(&CoCreateInstance)>()(type, outer, context, iid, out);
    // The desktop's shell runs in a process of its own.
    if (context != CLSCTX_LOCAL_SERVER || !IsEqualIID(iid, IID_IShellWindows)) return E_INVALIDARG;
    return give("CoCreateInstance", &windows, out, REGDB_E_CLASSNOTREG);
}

}  // namespace

FakeDesktopShell::FakeDesktopShell(const char* failingStep)
    : create_("ole32.dll", "CoCreateInstance", reinterpret_cast<void*>(&createInstance)) {
    createPatch = &create_;
    failing = failingStep;
    references = 0;
    executions.clear();
    static IShellWindowsVtbl windowsTable = unknownTable<IShellWindowsVtbl>();
    static IDispatchVtbl dispatchTable = unknownTable<IDispatchVtbl>();
    static IServiceProviderVtbl providerTable = unknownTable<IServiceProviderVtbl>();
    static IShellBrowserVtbl browserTable = unknownTable<IShellBrowserVtbl>();
    static IShellViewVtbl viewTable = unknownTable<IShellViewVtbl>();
    static IShellFolderViewDualVtbl folderViewTable = unknownTable<IShellFolderViewDualVtbl>();
    static IShellDispatch2Vtbl shellTable = unknownTable<IShellDispatch2Vtbl>();
    windowsTable.FindWindowSW = findWindow;
    providerTable.QueryService = queryService;
    browserTable.QueryActiveShellView = activeView;
    viewTable.GetItemObject = itemObject;
    folderViewTable.get_Application = getApplication;
    shellTable.ShellExecute = shellExecute;
    windows.vtable = &windowsTable;
    for (Object* object : {&desktop, &background, &application}) object->vtable = &dispatchTable;
    provider.vtable = &providerTable;
    browser.vtable = &browserTable;
    view.vtable = &viewTable;
    folderView.vtable = &folderViewTable;
    shell.vtable = &shellTable;
}

FakeDesktopShell::~FakeDesktopShell() { createPatch = nullptr; }

std::vector<std::string> FakeDesktopShell::executed() const { return executions; }

int FakeDesktopShell::heldReferences() const { return references; }
