// Whether the saver ends: the one decision behind every close, apart from the
// window messages that feed it. The window procedures turn a message into an
// event, ask closeAnswer, and do what it says.
//
// Platform-free, so that the policy is tested on its own: the travel, the
// 200 ms rule across the tick count's wrap, the states in which nothing ends.
#pragma once

#include <cstdint>

// Mouse travel, |dx| + |dy| from the reference point, that is still tolerated.
constexpr uint32_t moveThreshold = 4;

// Tick count that means "no password check yet".
constexpr uint32_t noPasswordCheck = 0xFFFFFFFFu;

enum class SaverEvent : uint8_t {
  CloseRequest,    // WM_CLOSE reached the saver window
  Key,             // a key or system key went down
  Button,          // the left, right or middle button went down
  MouseMove,       // the pointer moved; the travel comes with it
  ActivationLost,  // another application became active
  PowerEvent,      // a critical resume, or the machine going to sleep or waking
  AutoPlay,        // the system asks whether a disc may start AutoPlay
};

struct CloseState {
  bool previewing;
  bool closing;           // a close has been accepted
  bool checkingPassword;  // the password dialog is up
  bool starting;          // the scene is starting inside the window's creation
  bool legacyPlatform;    // Windows 95, 98, Me: a password may be asked
  bool passwordInForce;   // the password module's check is loaded
  uint32_t now;           // tick count
  uint32_t lastPasswordCheck;
};

enum class CloseAnswer : uint8_t {
  Nothing,  // not a reason to end
  Request,  // ask for a close: post WM_CLOSE
  Defer,    // ask again once the scene has started (its message boxes run while it starts)
  Refuse,   // the window stays; the pointer's reference is taken anew
  Ask,      // the password module decides
  Close,    // the saver ends
};

// `travel`: the mouse's, for MouseMove; not read otherwise.
CloseAnswer closeAnswer(SaverEvent event, const CloseState& state, uint32_t travel = 0);

// |dx| + |dy| from the reference point, without overflow for any pair of positions.
uint32_t cursorTravel(int32_t referenceX, int32_t referenceY, int32_t x, int32_t y);
