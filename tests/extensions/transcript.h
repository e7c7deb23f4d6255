/* The stand-in extensions' record of what the host did to them:
   extension-transcript.jsonl beside the executable, one JSON object per line. */
#ifndef STANDIN_TRANSCRIPT_H
#define STANDIN_TRANSCRIPT_H

#include <stddef.h>

typedef struct {
    char* text;
    size_t length;
    size_t capacity;
} TranscriptLine;

/* Starts {"call":call,"thread":<id>,... */
void LineBegin(TranscriptLine* line, const char* call);
/* A null value is written as JSON null. */
void LineAddString(TranscriptLine* line, const char* key, const char* value);
void LineAddNumber(TranscriptLine* line, const char* key, long long value);
void LineAddBool(TranscriptLine* line, const char* key, int value);
/* Closes the object, appends it as one line (safe from any thread) and frees it. */
void LineWrite(TranscriptLine* line);

/* How many lines the stand-in runtime's webview2-transcript.jsonl holds right
   now (-1 when there is none): places this library's events among the runtime's. */
long long RuntimeTranscriptLines(void);

#endif
