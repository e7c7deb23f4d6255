#pragma once
#include <windows.h>

// Holds an SRW lock exclusively for the guard's scope.
class SrwLockGuard {
public:
    explicit SrwLockGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~SrwLockGuard() { ReleaseSRWLockExclusive(&lock_); }
    SrwLockGuard(const SrwLockGuard&) = delete;
    SrwLockGuard& operator=(const SrwLockGuard&) = delete;

private:
    SRWLOCK& lock_;
};
