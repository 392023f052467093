// TestWindows.h - finding and reading the windows this process shows: by caption, child texts, combo boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Waits for a visible top-level window of this process with this caption; null on timeout.
HWND WaitForWindow(const std::string& caption, DWORD timeoutMs = 5000);
// Whether hWnd has closed within timeoutMs.
bool WaitForWindowGone(HWND hWnd, DWORD timeoutMs = 5000);
std::string WindowText(HWND hWnd);
// Texts of all child windows, in order.
std::vector<std::string> ChildTexts(HWND hWnd);
// Items and selection of a combo box.
std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);
// Selects an item the way the user does: the selection changes and the owner is told.
void ChooseComboItem(HWND dialog, int controlId, int index);
// Presses a button of a dialog by its identifier (as a click would).
void PressButton(HWND dialog, int controlId);
