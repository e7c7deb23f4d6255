/* The skeleton's Init: linked into every stand-in that exports one. */
#include "standin.h"
#include "transcript.h"

QUILLFRAME_EXTENSION_EXPORT const char* const* QUILLFRAME_CALL Init(const char* exeFolder, const char* contentFolder,
                                                                    const char* userDataFolder,
                                                                    QuillframePostMessage postMessage) {
    g_postMessage = postMessage;
    TranscriptLine line;
    LineBegin(&line, "Init");
    LineAddString(&line, "exeFolder", exeFolder);
    LineAddString(&line, "contentFolder", contentFolder);
    LineAddString(&line, "userDataFolder", userDataFolder);
    LineAddBool(&line, "callbackNull", postMessage == NULL);
    LineAddNumber(&line, "runtimeLines", RuntimeTranscriptLines());
    LineWrite(&line);
    if (g_standin.afterInit) g_standin.afterInit();
    return g_standin.ids;
}
