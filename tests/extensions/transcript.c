#include "transcript.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static SRWLOCK g_writeLock = SRWLOCK_INIT;

static void Append(TranscriptLine* line, const char* bytes, size_t count) {
    if (line->length + count + 1 > line->capacity) {
        size_t capacity = line->capacity ? line->capacity : 256;
        while (line->length + count + 1 > capacity) capacity *= 2;
        char* grown = (char*)realloc(line->text, capacity);
        if (!grown) abort();
        line->text = grown;
        line->capacity = capacity;
    }
    memcpy(line->text + line->length, bytes, count);
    line->length += count;
    line->text[line->length] = '\0';
}

static void AppendText(TranscriptLine* line, const char* text) { Append(line, text, strlen(text)); }

static void AppendJsonString(TranscriptLine* line, const char* value) {
    AppendText(line, "\"");
    for (const unsigned char* c = (const unsigned char*)value; *c; ++c) {
        char escaped[8];
        if (*c == '"' || *c == '\\') {
            escaped[0] = '\\';
            escaped[1] = (char)*c;
            Append(line, escaped, 2);
        } else if (*c < 0x20) {
            snprintf(escaped, sizeof escaped, "\\u%04x", *c);
            AppendText(line, escaped);
        } else {
            Append(line, (const char*)c, 1);
        }
    }
    AppendText(line, "\"");
}

static void AppendKey(TranscriptLine* line, const char* key) {
    AppendText(line, ",");
    AppendJsonString(line, key);
    AppendText(line, ":");
}

void LineBegin(TranscriptLine* line, const char* call) {
    line->text = NULL;
    line->length = 0;
    line->capacity = 0;
    AppendText(line, "{\"call\":");
    AppendJsonString(line, call);
    LineAddNumber(line, "thread", (long long)GetCurrentThreadId());
}

void LineAddString(TranscriptLine* line, const char* key, const char* value) {
    AppendKey(line, key);
    if (value) {
        AppendJsonString(line, value);
    } else {
        AppendText(line, "null");
    }
}

void LineAddNumber(TranscriptLine* line, const char* key, long long value) {
    char number[32];
    snprintf(number, sizeof number, "%lld", value);
    AppendKey(line, key);
    AppendText(line, number);
}

void LineAddBool(TranscriptLine* line, const char* key, int value) {
    AppendKey(line, key);
    AppendText(line, value ? "true" : "false");
}

/* The path of a file beside the executable, in a buffer the caller frees. */
static wchar_t* BesideExe(const wchar_t* name) {
    const DWORD capacity = 32768;
    wchar_t* path = (wchar_t*)malloc((capacity + wcslen(name)) * sizeof(wchar_t));
    if (!path) abort();
    const DWORD length = GetModuleFileNameW(NULL, path, capacity);
    if (length == 0 || length >= capacity) abort();
    wchar_t* slash = wcsrchr(path, L'\\');
    wcscpy(slash ? slash + 1 : path, name);
    return path;
}

void LineWrite(TranscriptLine* line) {
    AppendText(line, "}\n");
    wchar_t* path = BesideExe(L"extension-transcript.jsonl");
    AcquireSRWLockExclusive(&g_writeLock);
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line->text, (DWORD)line->length, &written, NULL);
        CloseHandle(file);
    }
    ReleaseSRWLockExclusive(&g_writeLock);
    free(path);
    free(line->text);
    line->text = NULL;
}

long long RuntimeTranscriptLines(void) {
    wchar_t* path = BesideExe(L"webview2-transcript.jsonl");
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    free(path);
    if (file == INVALID_HANDLE_VALUE) return -1;
    long long lines = 0;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, NULL) && got > 0) {
        for (DWORD i = 0; i < got; ++i) lines += buffer[i] == '\n';
    }
    CloseHandle(file);
    return lines;
}
