// Where the saver's system DLLs come from (system_modules_win.cpp).
#pragma once

// A delay-load descriptor; <delayimp.h> has no include guard, so only the
// files that read one include it.
struct ImgDelayDescr;

// The first step of every executable built from the saver: confines the
// search for DLLs to the system folder, then loads the system DLLs that the
// executable delay-loads and binds their functions. A missing one ends the
// process.
void bindSystemModules();

// The delay-load descriptors of those DLLs, ended by a null. Written by the
// build (cmake/Tavrin.cmake) and linked only into the saver's executables.
extern const ImgDelayDescr* const delayLoadedDlls[];
