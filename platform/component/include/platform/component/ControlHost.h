// SPDX-License-Identifier: MIT
#pragma once

#include "base/Result.h"
#include "tessaline/tessaline_component.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#ifdef _WIN32
struct IDispatch;
#endif

namespace tessaline {

// The host side of the component ABI: one control instance created by ProgID
// through the component registry, from a library loaded at run time.
// Used by the program and the command-line tool; neither links the library.
// On Windows the same calls go to the registered ActiveX control through COM
// (IDispatch, its connection point, its type library): platform/win32.
class ControlHost {
public:
    ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    // Looks the ProgID up in the registry, loads the library, asks its class
    // object for an instance. A failure says why (which ProgID is missing and
    // how to register it, or what failed).
    static Result<std::unique_ptr<ControlHost>> CreateByProgId(const std::string& progId);
#ifdef _WIN32
    // Hosts a control the caller created and placed itself (a window's OLE
    // control site) through its IDispatch, holding a reference of its own.
    // Its strings are UTF-8, as the program's windows give them; those of a
    // host created by ProgID are in the ANSI code page, as tessaline-cli's
    // arguments are.
    static std::unique_ptr<ControlHost> Adopt(IDispatch* control);
    // Stops the events and lets the control go; later calls fail.
    void Disconnect();
#endif

    // Late-bound calls. Invoke passes the arguments as given (values or references).
    TsResult GetIDOfName(const std::string& name, int32_t& dispid) const;
    TsResult Invoke(int32_t dispid, std::span<TsVariant> args, TsVariant* result);
    // Frees what a successful Invoke left in `result` (a string) and empties it.
    void FreeResult(TsVariant& result);
    // Invoke for a method with a 32-bit result; `result` untouched on failure.
    TsResult InvokeI4(int32_t dispid, std::span<TsVariant> args, int32_t& result);
    // Invoke for a method with a string result, copied into `result`.
    TsResult InvokeStr(int32_t dispid, std::span<TsVariant> args, std::string& result);

    // Events: the handler gets every event of the control (dispid and arguments).
    using EventHandler = std::function<void(int32_t dispid, std::span<const TsVariant> args)>;
    uint32_t Advise(EventHandler handler); // 0 on failure
    void Unadvise(uint32_t cookie);

    // The host's message box, for the control's messages. Empty: none.
    using MessageBoxHandler =
        std::function<int32_t(const std::string& text, const std::string& caption, uint32_t flags)>;
    void SetMessageBox(MessageBoxHandler handler);

    TsResult Draw(const TsSurface& surface, TsRect bounds);
    const TsTypeLibInfo* TypeLib() const; // null on failure
    std::vector<TsVerbInfo> Verbs() const;
    std::vector<TsPropertyPageInfo> PropertyPages() const;
    uint32_t MiscStatus() const;
    const TsModuleInfo* ModuleInfo() const; // null when not exported
    const std::string& LibraryPath() const {
        return m_libraryPath;
    }

private:
    ControlHost();
    // What the host holds of the control: the loaded library, the control
    // object and its sinks (one implementation per system).
    struct State;
    std::unique_ptr<State> m_state;
    std::string m_libraryPath;
};

} // namespace tessaline
