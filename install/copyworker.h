// The copy worker: copies the listed files into installFolder on a thread of
// its own, reporting to the progress dialog named in copyJob.
#pragma once

#include <windows.h>

// Sent after every chunk: wParam the bytes read so far from all sources.
constexpr UINT WM_COPY_PROGRESS = WM_USER + 1;
// Posted as the worker's last act: wParam one of the results below.
constexpr UINT WM_COPY_DONE = WM_USER + 2;

constexpr WPARAM kCopyFinished = 0;
constexpr WPARAM kCopyCancelled = static_cast<WPARAM>(static_cast<DWORD>(-1));
constexpr WPARAM kCopyFailed = 1;  // copyJob.failedPath names what failed

// Each file is read and written in pieces of this size, one progress message after each.
constexpr DWORD kCopyChunkSize = 0x20000;

// The thread's start routine; parameter is the address of programState.copyJob.
DWORD WINAPI copyWorker(void* parameter);
