#include "document/History.h"
#include "document/Image.h"
#include "document/Layer.h"
#include "shell/Settings.h"
#include "tools/CurrentImage.h"

CUndoRegistry g_UndoRegistry;

namespace {

// Defaults of the undo limits while the settings are not set up.
const int32_t kDefaultMaxDepth = 100;
const int32_t kDefaultMinDepth = 1;
const int32_t kDefaultMemoryLimit = 16;

// An entry that is missing or not set up yet (zero) gives the default.
int32_t SettingOr(const CIntSetting* entry, int32_t fallback) {
  const int32_t value = entry ? entry->GetValue() : 0;
  return value > 0 ? value : fallback;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CAction

CAction::CAction()
    : history(nullptr), registry(nullptr), previous(nullptr), next(nullptr),
      registryPrevious(nullptr), registryNext(nullptr), layerId(-1), belowId(-1),
      prepared(true) {
  SetLayerRef(GetCurrentLayer());
}

CAction::~CAction() {
  if (history)
    history->Remove(this);
  if (registry)
    registry->Unregister(this);
}

bool CAction::Prepare() {
  return true;
}

void CAction::SetLayerRef(CLayer* layer) {
  layerId = layer ? layer->GetId() : -1;
  belowId = layer && layer->GetPrevious() ? layer->GetPrevious()->GetId() : -1;
  prepared = Prepare();
}

void CAction::SetName(const char* text) {
  caption.Assign(text);
}

CImage* CAction::GetImage() const {
  // Once in a history the action belongs to that history's image, whichever is current.
  if (history && history->GetImage())
    return history->GetImage();
  return GetCurrentImage();
}

bool CAction::DoRedo() {
  return GetImage() ? Redo() : false;
}

bool CAction::DoUndo() {
  return GetImage() ? Undo() : false;
}

// ---------------------------------------------------------------------------------------------
// CHistory

CHistory::CHistory(CImage* image)
    : owner(image), count(0), current(nullptr), redoNext(nullptr), first(nullptr),
      last(nullptr) {}

CHistory::~CHistory() {
  Clear();
}

bool CHistory::Add(CAction* action) {
  if (!action || action->history)
    return false;
  // The undone tail is dropped.
  while (last && last != current)
    delete last;
  action->previous = last;
  action->next = nullptr;
  if (last)
    last->next = action;
  else
    first = action;
  last = action;
  action->history = this;
  ++count;
  current = action;
  redoNext = nullptr;
  g_UndoRegistry.Register(action);
  return true;
}

bool CHistory::Execute(CAction* action) {
  if (!action || action->history || !owner)
    return false;
  // Until it is added the action already works on this history's image.
  action->history = this;
  const bool done = action->Redo();
  action->history = nullptr;
  return done && Add(action);
}

bool CHistory::Undo() {
  if (!current || !current->DoUndo())
    return false;
  redoNext = current;
  current = current->previous;
  return true;
}

bool CHistory::Redo() {
  if (!redoNext || !redoNext->DoRedo())
    return false;
  current = redoNext;
  redoNext = redoNext->next;
  return true;
}

void CHistory::Clear() {
  while (last)
    delete last;
  count = 0;
  current = nullptr;
  redoNext = nullptr;
  first = nullptr;
  last = nullptr;
}

bool CHistory::IsDone(const CAction* action) const {
  for (const CAction* a = current; a; a = a->previous)
    if (a == action)
      return true;
  return false;
}

void CHistory::Remove(CAction* action) {
  if (!action || action->history != this)
    return;
  if (IsDone(action)) {
    // Older actions cannot be redone without it.
    while (first && first != action)
      delete first;
    first = action->next;
    if (first)
      first->previous = nullptr;
    else
      last = nullptr;
    if (current == action)
      current = nullptr;
  } else {
    // Newer actions cannot be redone without it.
    while (last && last != action)
      delete last;
    last = action->previous;
    if (last)
      last->next = nullptr;
    else
      first = nullptr;
    if (redoNext == action)
      redoNext = nullptr;
  }
  action->previous = nullptr;
  action->next = nullptr;
  action->history = nullptr;
  --count;
  if (action->registry)
    action->registry->Unregister(action);
}

// ---------------------------------------------------------------------------------------------
// CUndoRegistry

CUndoRegistry::CUndoRegistry() : totalBytes(0), count(0), oldest(nullptr), newest(nullptr) {}

CUndoRegistry::~CUndoRegistry() {
  while (newest)
    delete newest;
}

void CUndoRegistry::Register(CAction* action) {
  if (!action || action->registry)
    return;
  action->registryPrevious = newest;
  action->registryNext = nullptr;
  if (newest)
    newest->registryNext = action;
  else
    oldest = action;
  newest = action;
  action->registry = this;
  ++count;
  Trim();
}

void CUndoRegistry::Unregister(CAction* action) {
  if (!action || action->registry != this)
    return;
  if (action->registryPrevious)
    action->registryPrevious->registryNext = action->registryNext;
  else
    oldest = action->registryNext;
  if (action->registryNext)
    action->registryNext->registryPrevious = action->registryPrevious;
  else
    newest = action->registryPrevious;
  action->registryPrevious = nullptr;
  action->registryNext = nullptr;
  action->registry = nullptr;
  --count;
}

void CUndoRegistry::AddBytes(uint32_t n) {
  totalBytes += n;
}

void CUndoRegistry::SubtractBytes(uint32_t n) {
  totalBytes -= n;
}

void CUndoRegistry::Trim() {
  const int32_t maxDepth = SettingOr(g_Settings.limitsUndoMaxDepth, kDefaultMaxDepth);
  const int32_t minDepth = SettingOr(g_Settings.limitsUndoMinDepth, kDefaultMinDepth);
  const int32_t megabytes = SettingOr(g_Settings.limitsUndoMemoryLimit, kDefaultMemoryLimit);
  while (count > maxDepth && oldest)
    delete oldest;
  const int64_t limit = static_cast<int64_t>(megabytes) << 20;
  while (totalBytes > limit && count > minDepth && oldest)
    delete oldest;
}
