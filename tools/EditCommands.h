#pragma once
// The Edit menu's commands on the current image: undo and redo, copy (of the current layer or
// of the composite) through the clipboard, cut, erase and paste (as a new layer in normal
// channel mode, into the current layer in the colour-only and alpha-only modes). Each
// returns true when it changed something; a refused command beeps.
#include <cstdint>

class CAction;

// What Undo would revert and Redo would apply, or null.
CAction* GetUndoAction();
CAction* GetRedoAction();
bool UndoCommand();
bool RedoCommand();

bool CanCut();
bool CanCopy();
bool CanPaste();

bool CopyCommand();
bool CopyMergedCommand();
bool CutCommand();
// Null caption: "Erase".
bool EraseCommand(const char* caption);
bool PasteCommand();
