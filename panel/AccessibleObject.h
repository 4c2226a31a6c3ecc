// The controls as IAccessible objects for a screen reader in another process,
// and the window events that tell it what changed.
//
// A top-level panel window answers WM_GETOBJECT for OBJID_CLIENT with the
// object of its root control (the client: role CLIENT, named by the
// caption), whose children are the controls with a role in tree order; a
// list's rows are simple child ids of the list's object. Every object is
// made on demand and carries a block of ids: -id names the control (and
// -(id + k) its simple child k) in events and in the root's get_accChild.
// The COM libraries are loaded, and COM initialised on this thread, with the
// first request; a run without a screen reader never loads them. Only a
// single-threaded apartment is served: a thread COM already made
// multithreaded answers WM_GETOBJECT with 0.
//
// Events, from the first request on, after each message of the window
// (NotifyWinEvent with the window and OBJID_CLIENT): FOCUS when the focus
// moved while the window has the keyboard focus, or the window gained it (a
// list names its selected row); SELECTION when a list's selected row
// changed; VALUECHANGE when an edit's text or a slider's value changed;
// REORDER when controls went (the information panel rebuilt).
//
// An object whose control is gone answers RPC_E_DISCONNECTED and is cut off
// from its clients (CoDisconnectObject), so that a client holding it never
// reaches freed memory and never keeps it alive.
#pragma once

#include <windows.h>

#include <cstdint>

class CControl;
class CWindow;

// Posted to the window by accDoDefaultAction and accSelect (wParam: the
// object's id, lParam: the child), so that a click that opens a dialog runs
// from the window's own message, never inside the client's call.
const UINT kAccessibleDefaultAction = WM_APP + 0x2A1;
const UINT kAccessibleTakeFocus = WM_APP + 0x2A2;

// WM_GETOBJECT: the root's object for OBJID_CLIENT (true, with the answer);
// false for anything else, which the default procedure answers.
bool AnswerGetObject(CWindow* window, WPARAM w, LPARAM l, LRESULT& answer);
// After a message of `window` has been handled: the events for what changed.
void SyncAccessibleEvents(CWindow* window, HWND handle);
// The window gained or lost the keyboard focus: the next sync announces the
// focus afresh (a loss leaves nothing announced, so a gain is heard).
void NoteAccessibleWindowFocus(CWindow* window);
// Runs a posted default action or focus request.
void RunAccessibleAction(CWindow* window, UINT message, WPARAM w, LPARAM l);
// At shutdown, after every window has gone: what is left is disconnected
// and COM is uninitialised.
void ShutDownAccessibility();
