/* Pelmar plug-in interface.
 *
 * A plug-in is a shared object placed in the "Plugins" folder of Pelmar's data folder
 * ($PELMAR_HOME or ~/.local/share/pelmar/). Pelmar loads it with dlopen(RTLD_NOW | RTLD_LOCAL),
 * looks up the entry points below by name and calls them on its user-interface thread.
 *
 * Text: every text is CP1251 bytes.
 *  - Input texts are `const char*`, NUL-terminated, valid only during the call.
 *  - Output texts follow one rule in both directions: `int32_t f(char* buf, int32_t cap)`.
 *    The callee returns the full length in bytes (without the NUL) and copies what fits: at most
 *    cap - 1 bytes followed by a NUL when cap > 0; nothing when buf is NULL or cap <= 0. A result
 *    >= cap means the text was cut: call again with a buffer of at least result + 1 bytes.
 *
 * Nothing may unwind across this interface: a C++ plug-in catches its own exceptions.
 */
#ifndef PELMAR_PLUGIN_H
#define PELMAR_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Checked at load: a library whose plmApiVersion() differs from the program's is not loaded. */
#define PLM_API_VERSION 1

#if defined(__GNUC__)
#define PLM_EXPORT __attribute__((visibility("default")))
#else
#define PLM_EXPORT
#endif

/* ---- Entry points a plug-in exports ------------------------------------------------------------
 * Required: plmApiVersion, plmGetPluginName, plmGetPluginVer, plmGetPluginDesc, plmHasSetup.
 * A library lacking one of them is listed but never loaded. All others are optional. */

/* Returns PLM_API_VERSION as the plug-in was built with it. Define it with PLM_DEFINE_API_VERSION. */
typedef int32_t (*plmApiVersionFn)(void);
#define PLM_DEFINE_API_VERSION               \
    PLM_EXPORT int32_t plmApiVersion(void) { \
        return PLM_API_VERSION;              \
    }

/* First call after every load; `program` is the program's own instance. */
typedef void (*plmLoadedFn)(void* program);
typedef void (*plmInitializeFn)(void);
typedef int32_t (*plmGetPluginNameFn)(char* buf, int32_t cap);
/* High byte major, low byte minor. */
typedef uint16_t (*plmGetPluginVerFn)(void);
typedef int32_t (*plmGetPluginDescFn)(char* buf, int32_t cap);
/* Called on the temporary loads only, before plmUnloaded. */
typedef void (*plmDeinitializeFn)(void);
/* Last call before the library is released. */
typedef void (*plmUnloadedFn)(void);
/* The plug-in's own registry key for its options (only the plug-in reads or writes below it). */
typedef void (*plmLoadOptionsFn)(const char* optionsKey);
typedef void (*plmSaveOptionsFn)(const char* optionsKey);
/* The main window has shown a message; the plmMBGet* functions read it. */
typedef void (*plmOnMessageReadFn)(void);
typedef void (*plmAboutFn)(void);
typedef void (*plmSetupFn)(void);
/* Non-zero when plmSetup shows a settings dialog. */
typedef int32_t (*plmHasSetupFn)(void);
/* Start-up is complete (main window exists), or the user has just activated the plug-in. */
typedef void (*plmAfterInitFn)(void);
/* A button made by plmAddAction for this plug-in was clicked; `sender` is that button. */
typedef void (*plmActionFn)(void* sender);

/* ---- Functions the program offers ------------------------------------------------------------- */

/* The program's version text. */
int32_t plmGetVerInfo(char* buf, int32_t cap);
/* Text of the third status-bar panel; a 0x01 byte switches bold on and off. */
void plmShowStatusbarMessage(const char* text);
/* The main window's current message; empty when there is none. */
int32_t plmMBGetFrom(char* buf, int32_t cap);
int32_t plmMBGetTo(char* buf, int32_t cap);
int32_t plmMBGetFidoOrig(char* buf, int32_t cap);
int32_t plmMBGetFidoDest(char* buf, int32_t cap);
/* Every control line followed by CR LF. */
int32_t plmMBGetKludges(char* buf, int32_t cap);
/* The body without control lines. */
int32_t plmMBGetPureText(char* buf, int32_t cap);
/* The main window (opaque), or NULL before it exists. */
void* plmGetMainForm(void);
/* Adds a button to the main window's "Письмо" toolbar and returns it, or NULL (show == 0, no main
 * window yet, or `instance` is not a loaded plug-in). position 0 puts it after the bookmarks
 * button, any other value last. `instance` is the plug-in's own handle (plmSelfInstance()).
 * `bitmap` names an image file beside the library (PNG, XPM, SVG...) or a desktop icon; an image
 * holding `glyphs` pictures side by side shows the first. `text` and `reserved` are ignored. */
void* plmAddAction(int32_t position, const char* text, const char* hint, void* instance, const char* bitmap,
                   uint8_t glyphs, int32_t reserved, int32_t show);
/* Removes a button plmAddAction made: 1 when removed, 0 for anything else (nothing happens).
 * It may be called from that button's own plmAction. A plug-in's buttons are also removed when
 * it is unloaded. */
int32_t plmRemoveAction(void* button);
/* Stay-on-top windows become normal windows, so that a plug-in's window can come to the front. */
void plmHideTopMosts(void);
void plmShowTopMosts(void);
/* The standard plug-in about box, modal. */
void plmShowPluginAbout(const char* caption, const char* line1, const char* line2, const char* text);

#ifdef __cplusplus
}
#endif

/* The plug-in's own handle, as plmAddAction expects it: the handle dlopen gave Pelmar for this
 * library. Needs <dlfcn.h> with _GNU_SOURCE (for dladdr); define PLM_WANT_SELF_INSTANCE before
 * including this header to get it. */
#if defined(PLM_WANT_SELF_INSTANCE)
#include <dlfcn.h>
#if defined(__GNUC__)
#define PLM_MAYBE_UNUSED __attribute__((unused))
#else
#define PLM_MAYBE_UNUSED
#endif
static PLM_MAYBE_UNUSED void* plmSelfInstance(void) {
    /* Any object inside the library tells dladdr which file it is. */
    static const char anchor = 0;
    Dl_info info;
    void* handle;
    if (!dladdr(&anchor, &info) || !info.dli_fname) return 0;
    /* Already loaded: this only looks the handle up; the extra reference is given back at once. */
    handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    if (handle) dlclose(handle);
    return handle;
}
#endif

#endif /* PELMAR_PLUGIN_H */
