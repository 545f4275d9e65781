// SPDX-License-Identifier: MIT
/*
 * A point-of-sale program hosting the Tessaline control in plain C: find the
 * control through the user's component registry, load it, check a logo, store
 * it in a printer's NV memory as image 1 and print it once.
 *
 *   cc -std=c11 pos_host.c -o pos_host -ldl
 *   ./pos_host "THERMAL #1" logo.bmp
 *
 * Exit status: 0 done, 1 wrong use or a logo that cannot be sent, 2 the
 * printer is not installed, 3 the control could not be loaded or the job not
 * sent. Every failure of the control is printed with its ErrorText.
 */
#define _POSIX_C_SOURCE 200809L

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <tessaline/tessaline_component.h>
#include <tessaline/tessaline_control.h>

static char* trim(char* s) {
    while (*s == ' ' || *s == '\t') {
        ++s;
    }
    size_t n = strlen(s);
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t' || s[n - 1] == '\r' || s[n - 1] == '\n')) {
        s[--n] = '\0';
    }
    return s;
}

/* The value of `key` in section [`section`] of the registry file, as the
 * registry's reading rules say: names without regard to case, first key wins. */
static int registry_value(const char* file, const char* section, const char* key, char* out,
                          size_t size) {
    FILE* f = fopen(file, "r");
    if (f == NULL) {
        return 0;
    }
    char line[4096];
    int in_section = 0, found = 0;
    while (!found && fgets(line, sizeof line, f) != NULL) {
        char* s = trim(line);
        if (*s == '[') {
            char* close = strchr(s, ']');
            if (close != NULL) {
                *close = '\0';
                in_section = strcasecmp(s + 1, section) == 0;
            }
        } else if (in_section && *s != '#' && *s != ';') {
            char* eq = strchr(s, '=');
            if (eq != NULL) {
                *eq = '\0';
                if (strcasecmp(trim(s), key) == 0) {
                    snprintf(out, size, "%s", trim(eq + 1));
                    found = 1;
                }
            }
        }
    }
    fclose(f);
    return found;
}

/* The library registered for a ProgID: [ProgID\name] CLSID, then [CLSID\{..}]
 * InprocServer32. */
static int find_library(const char* prog_id, char* library, size_t size) {
    char file[4096], section[512], clsid[128];
    const char* config = getenv("XDG_CONFIG_HOME");
    const char* home = getenv("HOME");
    if (config != NULL && config[0] == '/') {
        snprintf(file, sizeof file, "%s/tessaline/components.reg", config);
    } else {
        snprintf(file, sizeof file, "%s/.config/tessaline/components.reg", home ? home : "");
    }
    snprintf(section, sizeof section, "ProgID\\%s", prog_id);
    if (!registry_value(file, section, "CLSID", clsid, sizeof clsid)) {
        fprintf(stderr, "pos_host: %s is not registered in %s; run: tessaline-cli register\n",
                prog_id, file);
        return 0;
    }
    snprintf(section, sizeof section, "CLSID\\%s", clsid);
    if (!registry_value(file, section, "InprocServer32", library, size)) {
        fprintf(stderr, "pos_host: the class %s names no library in %s\n", clsid, file);
        return 0;
    }
    return 1;
}

/* Progress arrives during Upload, once per logo sent. */
static void on_event(void* context, int32_t dispid, const TsVariant* args, uint32_t argc) {
    (void)context;
    if (dispid == TESSALINE_EVENTID_PROGRESS && argc == 1 && args[0].vt == TS_VT_I4) {
        printf("progress: logo %d sent\n", (int)args[0].u.i4);
    }
}

static TsVariant i4(int32_t v) {
    TsVariant x;
    memset(&x, 0, sizeof x);
    x.vt = TS_VT_I4;
    x.u.i4 = v;
    return x;
}

static TsVariant str(const char* s) {
    TsVariant x;
    memset(&x, 0, sizeof x);
    x.vt = TS_VT_STR;
    x.u.str = s;
    return x;
}

static TsVariant i4_ref(int32_t* p) {
    TsVariant x;
    memset(&x, 0, sizeof x);
    x.vt = TS_VT_I4 | TS_VT_BYREF;
    x.u.pi4 = p;
    return x;
}

/* Calls a method with a 32-bit result. */
static TsResult call_i4(TsControl* control, int32_t dispid, TsVariant* args, uint32_t argc,
                        int32_t* result) {
    TsVariant r;
    memset(&r, 0, sizeof r);
    TsResult hr = control->vtbl->Invoke(control, dispid, args, argc, &r);
    if (TS_SUCCEEDED(hr)) {
        *result = r.vt == TS_VT_I4 ? r.u.i4 : -1;
    }
    return hr;
}

/* The exit status for a failed Upload or Print. */
static int exit_status(int32_t result) {
    switch (result) {
    case TESSALINE_PRINTER_NOT_INSTALLED:
        return 2;
    case TESSALINE_PRINTER_REFUSED:
        return 1;
    default:
        return 3;
    }
}

/* ErrorText(): why the control's last call failed, in its own words. The
 * control allocated the string; FreeString gives it back. */
static void print_error_text(TsControl* control) {
    TsVariant r;
    memset(&r, 0, sizeof r);
    if (TS_SUCCEEDED(control->vtbl->Invoke(control, TESSALINE_DISPID_ERRORTEXT, NULL, 0, &r)) &&
        r.vt == TS_VT_STR && r.u.str != NULL) {
        if (r.u.str[0] != '\0') {
            fprintf(stderr, "pos_host: %s\n", r.u.str);
        }
        control->vtbl->FreeString(control, (char*)r.u.str);
    }
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "Usage: pos_host PRINTER LOGO.bmp\n");
        return 1;
    }
    const char* printer = argv[1];
    const char* logo = argv[2];
    if (strchr(logo, '|') != NULL) {
        fprintf(stderr, "pos_host: a path holding '|' cannot be sent\n");
        return 1;
    }

    char path[4096];
    if (!find_library(TESSALINE_PROGID, path, sizeof path)) {
        return 3;
    }
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "pos_host: cannot load %s: %s\n", path, dlerror());
        return 3;
    }

    TsDllGetModuleInfoFn module_info;
    TsDllGetClassObjectFn get_class_object;
    TsDllCanUnloadNowFn can_unload_now;
    /* dlsym gives an object pointer; ISO C turns it into a function pointer
     * only through its bytes. */
    void* symbol = dlsym(library, "DllGetModuleInfo");
    memcpy(&module_info, &symbol, sizeof symbol);
    symbol = dlsym(library, "DllGetClassObject");
    memcpy(&get_class_object, &symbol, sizeof symbol);
    symbol = dlsym(library, "DllCanUnloadNow");
    memcpy(&can_unload_now, &symbol, sizeof symbol);
    if (module_info != NULL && module_info()->abiVersion != TS_COMPONENT_ABI_VERSION) {
        fprintf(stderr, "pos_host: %s speaks another component ABI version\n", path);
        return 3;
    }

    /* The class object answers to the ProgID as well as to the class id. */
    TsClassFactory* factory = NULL;
    TsControl* control = NULL;
    if (get_class_object == NULL || TS_FAILED(get_class_object(TESSALINE_PROGID, &factory)) ||
        TS_FAILED(factory->vtbl->CreateInstance(factory, &control))) {
        fprintf(stderr, "pos_host: %s does not create %s\n", path, TESSALINE_PROGID);
        return 3;
    }
    factory->vtbl->Release(factory);

    TsEventSink sink = {NULL, on_event};
    uint32_t cookie = 0;
    control->vtbl->Advise(control, &sink, &cookie);

    int status = 0;
    int32_t bits = 0, height = 0, width = 0, result = -1;

    /* BitmapInfo(NVImage, BitsPixel*, Height*, Width*): 0 when the file is a
     * bitmap the printer can store. */
    TsVariant info[] = {str(logo), i4_ref(&bits), i4_ref(&height), i4_ref(&width)};
    if (TS_FAILED(call_i4(control, TESSALINE_DISPID_BITMAPINFO, info, 4, &result)) || result != 0) {
        fprintf(stderr, "pos_host: %s is not a bitmap that can be read\n", logo);
        print_error_text(control);
        status = 1;
        goto done;
    }
    printf("%s: %d bits per pixel, %d x %d dots\n", logo, (int)bits, (int)width, (int)height);

    /* Upload(Printer 0, PrinterName, NVImage "path|", ImageMode 1 = Error
     * Diffusion, Brightness 5). NV memory wears: a POS program uploads once
     * at set-up, not at every start. */
    char list[4100];
    snprintf(list, sizeof list, "%s|", logo);
    TsVariant upload[] = {i4(0), str(printer), str(list), i4(1), i4(5)};
    if (TS_FAILED(call_i4(control, TESSALINE_DISPID_UPLOAD, upload, 5, &result)) ||
        result != TESSALINE_PRINTER_OK) {
        fprintf(stderr, "pos_host: upload to \"%s\" failed: %d%s\n", printer, (int)result,
                result == TESSALINE_PRINTER_NOT_INSTALLED ? " (printer not installed)" : "");
        print_error_text(control);
        status = exit_status(result);
        goto done;
    }
    printf("stored as NV image 1 in \"%s\"\n", printer);

    /* Print(Printer 0, PrinterName, Range 1, Mode 0 = normal size, lngEnd 0):
     * NV image 1 alone, then a paper cut. */
    TsVariant print[] = {i4(0), str(printer), i4(1), i4(0), i4(0)};
    if (TS_FAILED(call_i4(control, TESSALINE_DISPID_PRINT, print, 5, &result)) ||
        result != TESSALINE_PRINTER_OK) {
        fprintf(stderr, "pos_host: printing on \"%s\" failed: %d\n", printer, (int)result);
        print_error_text(control);
        status = exit_status(result);
        goto done;
    }
    printf("printed NV image 1\n");

done:
    control->vtbl->Unadvise(control, cookie);
    control->vtbl->Release(control);
    /* The library says when nothing of it is alive any more. */
    if (can_unload_now != NULL && can_unload_now() == TS_S_OK) {
        dlclose(library);
    }
    return status;
}
