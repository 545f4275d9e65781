// SPDX-License-Identifier: MIT
/*
 * The Tessaline component ABI: how a host creates a control from a shared
 * library it never linked against, calls it by dispatch identifier, receives
 * its events, lets it draw, and reads its type information.
 *
 * Plain C, so any host (C++, C, Python through ctypes) can use it. Rules:
 *  - Every call returns a TsResult; nothing throws across this boundary.
 *  - Objects are reference counted (AddRef/Release); the creator of an
 *    object holds one reference.
 *  - Strings are NUL-terminated bytes in the host's encoding (UTF-8 on
 *    Linux), passed through unchanged. A string the component returns in a
 *    result belongs to the caller, who frees it with the object's FreeString.
 *  - Arguments are given in declaration order (not reversed).
 *  - Static descriptions (type information, module data) live as long as the
 *    library stays loaded.
 */
#ifndef TESSALINE_COMPONENT_H
#define TESSALINE_COMPONENT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TS_COMPONENT_ABI_VERSION 1

typedef int32_t TsResult;

/* C++ builds with -Wold-style-cast, so the constants cast the C++ way there. */
#ifdef __cplusplus
#define TS_RESULT(x) static_cast<TsResult>(x)
#define TS_COLOUR(x) static_cast<uint32_t>(x)
#else
#define TS_RESULT(x) ((TsResult)(x))
#define TS_COLOUR(x) ((uint32_t)(x))
#endif

#define TS_S_OK TS_RESULT(0)
#define TS_S_FALSE TS_RESULT(1)
#define TS_E_FAIL TS_RESULT(0x80004005u)
#define TS_E_POINTER TS_RESULT(0x80004003u)
#define TS_E_INVALIDARG TS_RESULT(0x80070057u)
#define TS_E_OUTOFMEMORY TS_RESULT(0x8007000Eu)
#define TS_E_NOTIMPL TS_RESULT(0x80004001u)
#define TS_DISP_E_MEMBERNOTFOUND TS_RESULT(0x80020003u)
#define TS_DISP_E_TYPEMISMATCH TS_RESULT(0x80020005u)
#define TS_DISP_E_UNKNOWNNAME TS_RESULT(0x80020006u)
#define TS_DISP_E_BADPARAMCOUNT TS_RESULT(0x8002000Eu)
#define TS_CONNECT_E_NOCONNECTION TS_RESULT(0x80040200u)
#define TS_CLASS_E_CLASSNOTAVAILABLE TS_RESULT(0x80040111u)
#define TS_REGDB_E_CLASSNOTREG TS_RESULT(0x80040154u)
#define TS_SELFREG_E_TYPELIB TS_RESULT(0x80040200u)
#define TS_SELFREG_E_CLASS TS_RESULT(0x80040201u)

#define TS_SUCCEEDED(r) (TS_RESULT(r) >= 0)
#define TS_FAILED(r) (TS_RESULT(r) < 0)

/* ---- Typed values ------------------------------------------------------ */

typedef enum TsVarType {
    TS_VT_EMPTY = 0,
    TS_VT_I2 = 2,        /* 16-bit signed integer */
    TS_VT_I4 = 3,        /* 32-bit signed integer */
    TS_VT_STR = 8,       /* string */
    TS_VT_BYREF = 0x4000 /* or-ed with one of the above: passed by reference */
} TsVarType;

typedef struct TsVariant {
    uint16_t vt; /* TsVarType, possibly | TS_VT_BYREF */
    union {
        int16_t i2;
        int32_t i4;
        const char* str;   /* by value: borrowed for the call */
        int16_t* pi2;      /* by reference */
        int32_t* pi4;      /* by reference */
        const char** pstr; /* by reference: read as a value, never replaced */
    } u;
} TsVariant;

/* ---- Host-provided services -------------------------------------------- */

typedef struct TsRect {
    int32_t left, top, right, bottom;
} TsRect;

/* Colours are 0x00BBGGRR, as RGB(r, g, b) builds them. */
#define TS_RGB(r, g, b) (TS_COLOUR(r) | (TS_COLOUR(g) << 8) | (TS_COLOUR(b) << 16))

/* A drawing surface the host lends for one Draw call. The host's font and
 * clipping apply; the control draws no clipping of its own. */
typedef struct TsSurface {
    void* context;
    void (*FillRect)(void* context, TsRect rect, uint32_t colour);
    /* Text with its top-left corner at (x, y); background filled behind it
     * in backColour (opaque background mode) or left alone (transparent). */
    void (*DrawText)(void* context, int32_t x, int32_t y, const char* text, uint32_t textColour,
                     uint32_t backColour);
} TsSurface;

#define TS_MB_OK 0x0u
#define TS_MB_ICONEXCLAMATION 0x30u
#define TS_IDOK 1

/* The host site: what the control may ask of the host that placed it. */
typedef struct TsHostSite {
    void* context;
    /* Shows a modal message box; returns the button pressed (TS_IDOK). May be
     * null: the control then writes the message to standard error. */
    int32_t (*MessageBox)(void* context, const char* text, const char* caption, uint32_t flags);
} TsHostSite;

/* An event sink: receives the control's events synchronously, on the thread
 * that made the call that raised them. */
typedef struct TsEventSink {
    void* context;
    void (*Invoke)(void* context, int32_t dispid, const TsVariant* args, uint32_t argc);
} TsEventSink;

/* ---- Type information -------------------------------------------------- */

typedef struct TsParamInfo {
    const char* name;
    uint16_t vt; /* declared type; TS_VT_BYREF set for out parameters */
} TsParamInfo;

typedef struct TsMemberInfo {
    int32_t dispid;
    const char* name;
    uint16_t resultVt; /* TS_VT_EMPTY for events */
    uint32_t paramCount;
    const TsParamInfo* params;
} TsMemberInfo;

#define TS_TYPE_DISPATCH 1u /* a dispatch interface */
#define TS_TYPE_SOURCE 2u   /* an event (outgoing) interface */

typedef struct TsInterfaceInfo {
    const char* name;
    const char* uuid; /* "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" */
    const char* helpString;
    uint32_t flags;
    uint32_t memberCount;
    const TsMemberInfo* members;
} TsInterfaceInfo;

#define TS_CLASS_CONTROL 1u
#define TS_CLASS_CREATABLE 2u

typedef struct TsClassInfo {
    const char* name;
    const char* uuid;
    const char* helpString;
    uint32_t flags;
    const char* defaultInterface; /* name of an interface above */
    const char* defaultSource;
} TsClassInfo;

typedef struct TsTypeLibInfo {
    const char* name;
    const char* uuid;
    uint16_t majorVersion;
    uint16_t minorVersion;
    const char* helpString;
    const char* helpFile;
    uint32_t interfaceCount;
    const TsInterfaceInfo* interfaces;
    uint32_t classCount;
    const TsClassInfo* classes;
} TsTypeLibInfo;

/* ---- Verbs and the property page ---------------------------------------- */

#define TS_VERB_PROPERTIES (-7)

typedef struct TsVerbInfo {
    int32_t verb;
    const char* name; /* as a menu shows it, "&" marking the access key */
} TsVerbInfo;

/* A static text of a dialog, in dialog units. */
typedef struct TsDialogText {
    int32_t x, y, width, height;
    const char* text;
} TsDialogText;

typedef struct TsPropertyPageInfo {
    const char* caption; /* the tab's caption */
    int32_t dialogId;
    int32_t width, height; /* dialog units */
    const char* fontName;
    int32_t fontPointSize;
    uint32_t textCount;
    const TsDialogText* texts;
} TsPropertyPageInfo;

/* ---- Module data (strings, version, toolbox bitmap) --------------------- */

typedef struct TsStringResource {
    int32_t id;
    const char* text;
} TsStringResource;

typedef struct TsModuleInfo {
    uint32_t abiVersion; /* TS_COMPONENT_ABI_VERSION */
    uint16_t fileVersion[4];
    uint16_t productVersion[4];
    const char* fileDescription;
    const char* productName;
    int32_t selfRegistering; /* "OLESelfRegister" */
    uint32_t stringCount;
    const TsStringResource* strings;
    /* The toolbox bitmap as a complete BMP file in memory. */
    const uint8_t* toolboxBitmap;
    uint32_t toolboxBitmapSize;
} TsModuleInfo;

/* ---- The control object ------------------------------------------------- */

typedef struct TsControl TsControl;

typedef struct TsControlVtbl {
    uint32_t (*AddRef)(TsControl* self);
    uint32_t (*Release)(TsControl* self);

    /* Dispatch: look up a member by name (case-insensitive), call it by id.
     * `result` receives the method's result; a string result is the
     * caller's, to be freed with FreeString. */
    TsResult (*GetIDOfName)(TsControl* self, const char* name, int32_t* dispid);
    TsResult (*Invoke)(TsControl* self, int32_t dispid, TsVariant* args, uint32_t argc,
                       TsVariant* result);
    void (*FreeString)(TsControl* self, char* text);

    /* Events: connect and disconnect a sink; cookies start at 1. */
    TsResult (*Advise)(TsControl* self, const TsEventSink* sink, uint32_t* cookie);
    TsResult (*Unadvise)(TsControl* self, uint32_t cookie);

    TsResult (*SetHostSite)(TsControl* self, const TsHostSite* site); /* null clears */
    TsResult (*GetTypeLib)(TsControl* self, const TsTypeLibInfo** info);
    TsResult (*Draw)(TsControl* self, const TsSurface* surface, TsRect bounds);
    TsResult (*GetVerbs)(TsControl* self, const TsVerbInfo** verbs, uint32_t* count);
    TsResult (*GetPropertyPages)(TsControl* self, const TsPropertyPageInfo** pages,
                                 uint32_t* count);
    /* 131473 for the Tessaline control. */
    TsResult (*GetMiscStatus)(TsControl* self, uint32_t* status);
} TsControlVtbl;

struct TsControl {
    const TsControlVtbl* vtbl;
};

/* ---- The class object ---------------------------------------------------- */

typedef struct TsClassFactory TsClassFactory;

typedef struct TsClassFactoryVtbl {
    uint32_t (*AddRef)(TsClassFactory* self);
    uint32_t (*Release)(TsClassFactory* self);
    TsResult (*CreateInstance)(TsClassFactory* self, TsControl** control);
    TsResult (*LockServer)(TsClassFactory* self, int32_t lock);
} TsClassFactoryVtbl;

struct TsClassFactory {
    const TsClassFactoryVtbl* vtbl;
};

/* ---- What a component library exports ----------------------------------- */

/* Class object for a class identifier ("{...}"), or for a ProgID. */
typedef TsResult (*TsDllGetClassObjectFn)(const char* clsid, TsClassFactory** factory);
/* TS_S_OK when no object or lock of the library is alive. */
typedef TsResult (*TsDllCanUnloadNowFn)(void);
/* Record or remove the library's classes and type library in the registry. */
typedef TsResult (*TsDllRegisterServerFn)(void);
typedef TsResult (*TsDllUnregisterServerFn)(void);
/* The library's module data. */
typedef const TsModuleInfo* (*TsDllGetModuleInfoFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* TESSALINE_COMPONENT_H */
