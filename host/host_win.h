// The screen-saver host: process entry, run modes, the saver window with its
// message loop, and the policy that turns input into the end of the saver.
//
// The scene plugs in through the screen-saver contract (screen_saver_win.h).
// The host owns the older Windows family's password scheme and decides every
// close (close_policy.h); the scene never sees either.
#pragma once

#include <windows.h>

#include <cstdint>

#include "host/close_policy.h"
#include "host/screen_saver_win.h"

// "VerifyScreenSavePwd" of the password module: nonzero accepts the close.
using VerifyPasswordProc = BOOL(WINAPI*)(HWND window);
// "ImmAssociateContext": gives a window an input context, returns the old one.
using AssociateContextProc = HANDLE(WINAPI*)(HWND window, HANDLE context);
// "PwdChangePasswordA" of "MPR.DLL".
using ChangePasswordProc = DWORD(WINAPI*)(LPCSTR provider, HWND owner, DWORD reserved1, DWORD reserved2);

// The host's one process-wide record. Filled as the mode proceeds, never reset.
struct HostState {
  HINSTANCE instance = nullptr;
  BOOL legacyPlatform = FALSE;  // Windows 95, 98, Me: the platform id is VER_PLATFORM_WIN32_WINDOWS
  HWND mainWindow = nullptr;
  BOOL previewing = FALSE;  // the saver window is a preview child of another window
  BOOL closing = FALSE;     // a close has been accepted; input and frames are no longer handled
  BOOL checkingPassword = FALSE;
  // The scene starts inside the window's creation, and its message boxes run
  // modal loops that dispatch this window's messages: a close asked meanwhile
  // waits for the start to be over.
  BOOL starting = FALSE;
  BOOL closeDeferred = FALSE;
  HMODULE passwordModule = nullptr;
  VerifyPasswordProc verifyPwd = nullptr;
  UINT autoPlayMessage = 0;
  HMODULE imeModule = nullptr;
  AssociateContextProc associateContext = nullptr;
  HANDLE savedImeContext = nullptr;
  POINT lastCursor = {0, 0};                       // reference point of the mouse-travel test, screen pixels
  DWORD lastPasswordCheck = noPasswordCheck;       // end of the last password check
  const uint32_t moveThreshold = ::moveThreshold;  // mouse travel in pixels that is still tolerated
};

extern HostState hostState;

// The module the configuration dialog is made from; set only on the way to
// the dialog (its pages follow the dialog's own instance, the packs are found
// in the executable).
extern HMODULE resourceModule;

// Exit code of a process that a processor fault or system exception ended.
constexpr int faultExitCode = -2;

// Process entry, after the runtime's start-up. Never returns.
[[noreturn]] void SaverEntry();
int DispatchRunMode(HINSTANCE instance, const char* arguments);
HWND ParseWindowHandle(const char* text);
int RunConfiguration(HWND owner);
int RunPreview(const char* text);
int RunPasswordChange(const char* text);
void ChangeSaverPassword(HWND owner);
BOOL PrepareConfigDialog(HINSTANCE instance);

// The common body of the full-screen and preview modes; returns the exit
// value of the message loop.
int RunSaver(HWND parent);
void LoadPasswordModule();
void UnloadPasswordModule();
void SetSaverRunning(BOOL running);

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Whether a close request ends the saver, as closeAnswer decides, with what
// that asks done: a close during the scene's start is deferred, a refusal
// takes the pointer's position anew (the mouse must travel again), and on the
// older family with a password in force the password module is asked.
BOOL ConfirmClose(HWND window);
