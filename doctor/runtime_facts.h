#pragma once

// What the built-in loader reads from a fixed runtime's DLL, and what it
// answers when it cannot (its Windows half keeps these as Windows values).
inline constexpr char kFixedRuntimeVersionTable[] = "040904B0";
inline constexpr char kFixedRuntimeVersionKey[] = "ProductVersion";
inline constexpr char kFixedRuntimeDllMissing[] = "0x80070002";  // ERROR_FILE_NOT_FOUND
inline constexpr char kFixedRuntimeNoVersion[] = "0x80070714";   // ERROR_RESOURCE_DATA_NOT_FOUND
