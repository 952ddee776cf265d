#pragma once
// Undoable actions, the undo history of an image and the registry that lists the actions
// of all images in time order and trims the oldest ones to the undo limits.
#include <cstdint>
#include "wul/WULString.h"

class CHistory;
class CImage;
class CLayer;
class CUndoRegistry;

class CAction {
public:
  // Caption empty, refers to the current layer of the current image.
  CAction();
  // Removes the action from its history (done: with every older action; undone: with
  // every newer one) and from the registry.
  virtual ~CAction();
  CAction(const CAction&) = delete;
  CAction& operator=(const CAction&) = delete;

  // Captures what the change needs beforehand; false when it could not.
  virtual bool Prepare();
  // Performs the change; true on success.
  virtual bool Redo() = 0;
  // Reverts it; true on success.
  virtual bool Undo() = 0;

  // Layer id and below id from layer (null: -1 both), then Prepare again.
  void SetLayerRef(CLayer* layer);
  void SetName(const char* text);
  const char* GetName() const { return caption.text; }
  // Redo and Undo run only while the action has an image to work on.
  bool DoRedo();
  bool DoUndo();

  // The image the action changes: its history's image once added, else the current image.
  CImage* GetImage() const;
  CHistory* GetHistory() const { return history; }
  CAction* GetPrevious() const { return previous; }
  CAction* GetNext() const { return next; }
  CAction* GetOlderRegistered() const { return registryPrevious; }
  CAction* GetNewerRegistered() const { return registryNext; }
  bool IsRegistered() const { return registry != nullptr; }
  int32_t GetLayerId() const { return layerId; }
  int32_t GetBelowId() const { return belowId; }

protected:
  // Result of the last Prepare; Redo refuses to run after a failed one.
  bool IsPrepared() const { return prepared; }
  void SetPrepared(bool ok) { prepared = ok; }

private:
  friend class CHistory;
  friend class CUndoRegistry;

  CHistory* history;
  CUndoRegistry* registry;
  CAction* previous;
  CAction* next;
  CAction* registryPrevious;
  CAction* registryNext;
  int32_t layerId;
  int32_t belowId;
  bool prepared;
  CWULString caption;
};

class CHistory {
public:
  explicit CHistory(CImage* owner);
  // Deletes every action.
  ~CHistory();
  CHistory(const CHistory&) = delete;
  CHistory& operator=(const CHistory&) = delete;

  // Appends an action that is already performed, dropping the redo tail; false when the
  // action is null or already in a history. May trim old actions of any image.
  bool Add(CAction* action);
  // Redo, then Add. On false the caller still owns (and deletes) the action.
  bool Execute(CAction* action);
  bool Undo();
  bool Redo();
  void Clear();

  CImage* GetImage() const { return owner; }
  int32_t GetCount() const { return count; }
  // The last performed action (what Undo reverts), or null.
  CAction* GetCurrent() const { return current; }
  // What Redo performs, or null.
  CAction* GetRedoNext() const { return redoNext; }
  CAction* GetFirst() const { return first; }
  CAction* GetLast() const { return last; }
  bool CanUndo() const { return current != nullptr; }
  bool CanRedo() const { return redoNext != nullptr; }

private:
  friend class CAction;
  void Remove(CAction* action);
  bool IsDone(const CAction* action) const;

  CImage* owner;
  int32_t count;
  CAction* current;
  CAction* redoNext;
  CAction* first;
  CAction* last;
};

class CUndoRegistry {
public:
  CUndoRegistry();
  // Deletes the newest action until none is left.
  ~CUndoRegistry();
  CUndoRegistry(const CUndoRegistry&) = delete;
  CUndoRegistry& operator=(const CUndoRegistry&) = delete;

  // Links the action as the newest and trims to Limits.Undo.MaxDepth, then, while more
  // than Limits.Undo.MinDepth remain, to Limits.Undo.MemoryLimit megabytes.
  void Register(CAction* action);
  void Unregister(CAction* action);
  void AddBytes(uint32_t n);
  void SubtractBytes(uint32_t n);
  // Deletes the oldest actions until the limits hold.
  void Trim();

  // Sum of 12 + size over all undo blocks alive.
  int64_t GetTotalBytes() const { return totalBytes; }
  int32_t GetCount() const { return count; }
  CAction* GetOldest() const { return oldest; }
  CAction* GetNewest() const { return newest; }

private:
  int64_t totalBytes;
  int32_t count;
  CAction* oldest;
  CAction* newest;
};

extern CUndoRegistry g_UndoRegistry;
