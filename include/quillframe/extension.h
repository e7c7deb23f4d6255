/*
 * Quillframe native extensions: the interface between the host and the optional
 * library ZU2DavErudoze.dll that sits beside Quillframe.exe.
 *
 * The library exports four functions under exactly these names: Init, Release,
 * OnMainWindowCreated and OnExtensionMessage. The host calls Init only when all
 * four are exported; whatever subset is exported is still called at its moment.
 *
 * Calling convention: every export and the callback use __cdecl.
 * Strings: NUL-terminated UTF-8. Each string stays owned by the side that made it:
 *   - the folder strings given to Init stay valid until Release has returned;
 *   - the id array returned by Init, and its strings, stay the library's; the host
 *     copies the ids before Init's caller goes on and never frees or reads them again;
 *   - the message given to OnExtensionMessage is valid only during that call;
 *   - the text given to the callback is copied before the callback returns.
 * Threads: Init, OnMainWindowCreated, OnExtensionMessage and Release run on the
 * host's UI thread. The callback may be called from any thread. Called on the UI
 * thread it posts at once; called elsewhere it hands the text to the UI thread,
 * which posts it later, in the order of the calls. Texts sent before the page's
 * web view exists (during Init or OnMainWindowCreated, say) and after Release are
 * dropped. Stop your own threads in Release: the host unloads the library right
 * after Release returns.
 */
#ifndef QUILLFRAME_EXTENSION_H
#define QUILLFRAME_EXTENSION_H

#include <windows.h>

#ifdef __cplusplus
#define QUILLFRAME_EXTERN_C extern "C"
#else
#define QUILLFRAME_EXTERN_C
#endif

#define QUILLFRAME_CALL __cdecl

/* Put in front of each of the four definitions in the library. */
#define QUILLFRAME_EXTENSION_EXPORT QUILLFRAME_EXTERN_C __declspec(dllexport)

/* The host's callback: sends one JSON text to the page, which receives it parsed.
   A text that is not JSON is refused by the web view without notice. */
typedef void(QUILLFRAME_CALL* QuillframePostMessage)(const char* json);

/* Init: called once at load time. Returns an array of component id strings ended
   by a null pointer (the page learns them from its "wrapper-init" exchange), or
   null when initialisation failed. */
typedef const char* const*(QUILLFRAME_CALL QuillframeInitFunction)(const char* exeFolder,
                                                                   const char* contentFolder,
                                                                   const char* userDataFolder,
                                                                   QuillframePostMessage postMessage);

/* Release: called once at shutdown, after the window is gone, right before the
   library is unloaded. Called even when Init was not called or failed. */
typedef void(QUILLFRAME_CALL QuillframeReleaseFunction)(void);

/* OnMainWindowCreated: called once with the main window, which is still hidden
   and has no web view yet. */
typedef void(QUILLFRAME_CALL QuillframeOnMainWindowCreatedFunction)(HWND mainWindow);

/* OnExtensionMessage: the complete text of every page message whose "type" is
   "extension-message", exactly as the page sent it. */
typedef void(QUILLFRAME_CALL QuillframeOnExtensionMessageFunction)(const char* message);

/* Pointers to the entry points, as the host finds them by name. */
typedef QuillframeInitFunction* QuillframeInitProc;
typedef QuillframeReleaseFunction* QuillframeReleaseProc;
typedef QuillframeOnMainWindowCreatedFunction* QuillframeOnMainWindowCreatedProc;
typedef QuillframeOnExtensionMessageFunction* QuillframeOnExtensionMessageProc;

#ifndef QUILLFRAME_HOST
/* The library's side. Declared from the types above, so a definition whose
   signature differs from the interface does not compile in C, nor in C++ when
   QUILLFRAME_EXTENSION_EXPORT stands in front of it. In C++ a definition with a
   plain __declspec(dllexport) and another signature compiles as a new overload
   under a mangled name, which the host never finds. */
QUILLFRAME_EXTENSION_EXPORT QuillframeInitFunction Init;
QUILLFRAME_EXTENSION_EXPORT QuillframeReleaseFunction Release;
QUILLFRAME_EXTENSION_EXPORT QuillframeOnMainWindowCreatedFunction OnMainWindowCreated;
QUILLFRAME_EXTENSION_EXPORT QuillframeOnExtensionMessageFunction OnExtensionMessage;
#endif

#endif
