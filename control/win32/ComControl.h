// SPDX-License-Identifier: MIT
// The Tessaline control as a COM object: the ActiveX shell around CTessalineCtrl.
#pragma once

#include "CTessalineCtrl.h"
#include "ComModule.h"
#include "ConnectionPoint.h"
#include "platform/win32/ComObject.h"
#include "platform/win32/ComOwners.h"

#include <cstdint>
#include <ocidl.h>
#include <olectl.h>
#include <string>

namespace tessaline::com {

// The Tessaline control as an in-process ActiveX control: the methods of
// _DTessaline by dispatch identifier, Progress through the connection point
// of _DTessalineEvents, and what a form host needs to place, draw, save and
// activate it. The methods themselves are CTessalineCtrl's; this shell only
// turns the host's arguments into theirs and their events into the host's.
// Apartment-threaded: the host creates and calls it on one thread, and
// Progress comes back on that thread from inside the running method.
class ComControl final
    : public ControlEvents,
      public win32::ComObject<
          ComControl, IDispatch, win32::AlsoAs<IProvideClassInfo2, IProvideClassInfo>,
          IConnectionPointContainer, IOleObject, win32::AlsoAs<IOleInPlaceObject, IOleWindow>,
          IOleInPlaceActiveObject, win32::AlsoAs<IViewObject2, IViewObject>,
          win32::AlsoAs<IPersistStreamInit, IPersist>, IPersistPropertyBag, IPersistStorage,
          IOleControl, ISpecifyPropertyPages> {
public:
    // The class factory's creation function.
    static HRESULT Create(REFIID iid, void** object);

    ComControl(const ComControl&) = delete;
    ComControl& operator=(const ComControl&) = delete;

    // ControlEvents: Progress(Data) to every connected sink, unless the host
    // froze events; the message box owned by the control's window.
    void FireProgress(int32_t Data) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* dispids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation,
                                           DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index,
                                     HWND parent, LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* name) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow (for both in-place interfaces)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frame) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo,
                                   DVTARGETDEVICE* device, HDC targetDc, HDC dc, LPCRECTL bounds,
                                   LPCRECTL metafileBounds,
                                   BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR),
                                   ULONG_PTR contArgument) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                          DVTARGETDEVICE* device, HDC targetDc,
                                          LOGPALETTE** colors) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo,
                                     DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                        LPSIZEL size) override;

    // IPersist (for both persistence interfaces)
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    // IPersistStreamInit
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    // IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IPersistStorage (OleCreate and compound-document containers)
    HRESULT STDMETHODCALLTYPE InitNew(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Load(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE Save(IStorage* storage, BOOL sameAsLoad) override;
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage* storage) override;
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispid) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // _DTessaline by its own identifier, beside IDispatch.
    void* QueryOther(REFIID iid);

private:
    ComControl();
    ~ComControl() override;

    HRESULT LoadTypeInfo();
    HRESULT InvokeMethod(DISPID dispid, DISPPARAMS& params, VARIANT* result, UINT& argError);

    // Paints the control's rectangle into `dc`.
    void OnDraw(HDC dc, const RECT& bounds) const;
    // Opens the platform's property frame with the "General" page.
    HRESULT ShowProperties(HWND owner);

    HRESULT InPlaceActivate(LONG verb, HWND parent, LPCRECT position);
    bool CreateControlWindow(HWND parent, const RECT& position);
    void DestroyControlWindow();
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void SetExtentFromPixels(LONG width, LONG height);
    // Tells the view's advise sink that the picture changed.
    void NotifyViewChange();

    ModuleReference m_moduleReference;
    win32::ComPtr<ITypeInfo> m_dispatchInfo;
    win32::ComPtr<ITypeInfo> m_classInfo;
    ConnectionPoint m_progressPoint;

    win32::ComPtr<IOleClientSite> m_clientSite;
    win32::ComPtr<IOleAdviseHolder> m_oleAdvise;
    win32::ComPtr<IAdviseSink> m_viewAdvise;
    DWORD m_viewAdviseAspects = 0;
    DWORD m_viewAdviseFlags = 0;
    win32::ComPtr<IOleInPlaceSite> m_inPlaceSite;
    bool m_uiActive = false;
    HWND m_window = nullptr;
    SIZEL m_extent{}; // HIMETRIC
    bool m_dirty = false;
    bool m_initialised = false;
    LONG m_eventsFrozen = 0;

    CTessalineCtrl m_control{*this};
};

} // namespace tessaline::com
