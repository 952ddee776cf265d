#include "document/Swatches.h"
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include "document/ColorSpace.h"
#include "document/TextFile.h"
#include "shell/Errors.h"

CSwatchSet g_Swatches;

CSwatch::~CSwatch() noexcept(false) {
  if (set)
    set->Remove(this);
}

CSwatchSet::CSwatchSet() : updating(0), root(nullptr) {}

CSwatchSet::~CSwatchSet() { Clear(); }

void CSwatchSet::BeginUpdate() { ++updating; }

void CSwatchSet::EndUpdate() {
  if (updating > 0)
    --updating;
  if (updating == 0) {
    Renumber(GetFirst());
    RebuildIndex();
  }
}

void CSwatchSet::Renumber(CSwatch* from) {
  if (!from)
    return;
  int32_t n = from->prev ? static_cast<CSwatch*>(from->prev)->number + 1 : 1;
  for (CSwatch* s = from; s; s = Next(s))
    s->number = n++;
}

CSwatch* CSwatchSet::BuildIndex(CSwatch* first, CSwatch* last) {
  if (!first)
    return nullptr;
  if (first == last) {
    first->left = first->right = nullptr;
    return first;
  }
  if (Next(first) == last) {
    first->left = nullptr;
    first->right = last;
    last->left = last->right = nullptr;
    return first;
  }
  const int32_t middleNumber = (first->number + last->number) >> 1;
  CSwatch* middle = first;
  while (middle->number < middleNumber)
    middle = Next(middle);
  middle->left = BuildIndex(first, static_cast<CSwatch*>(middle->prev));
  middle->right = BuildIndex(Next(middle), last);
  return middle;
}

int64_t CSwatchSet::indexRebuilds = 0;

void CSwatchSet::RebuildIndex() {
  ++indexRebuilds;
  root = BuildIndex(GetFirst(), static_cast<CSwatch*>(list.last));
}

void CSwatchSet::Insert(CSwatch* swatch, CSwatch* before) {
  if (!swatch || swatch == before)
    return;
  if (swatch->set && swatch->set != this)
    swatch->set->Remove(swatch);
  if (before && before->set != this)
    before = nullptr;
  list.InsertBefore(swatch, before);
  swatch->set = this;
  if (!updating) {
    Renumber(GetFirst());
    RebuildIndex();
  }
}

CSwatch* CSwatchSet::AddColor(CColor color) {
  CSwatch* swatch = new (std::nothrow) CSwatch(color);
  if (swatch)
    Insert(swatch, nullptr);
  return swatch;
}

void CSwatchSet::Move(CSwatch* swatch, CSwatch* before) {
  if (!swatch || swatch == before || swatch->set != this)
    return;
  Insert(swatch, before);
}

void CSwatchSet::Remove(CSwatch* swatch) {
  if (!swatch || swatch->set != this)
    return;
  CSwatch* successor = Next(swatch);
  list.Remove(swatch);
  swatch->set = nullptr;
  swatch->left = swatch->right = nullptr;
  swatch->number = 0;
  if (!updating) {
    Renumber(successor);
    RebuildIndex();
  }
}

void CSwatchSet::Delete(CSwatch* swatch) {
  if (!swatch || swatch->set != this)
    return;
  Remove(swatch);
  delete swatch;
}

void CSwatchSet::Clear() {
  CSwatchUpdateScope update(*this);
  while (CSwatch* swatch = GetFirst())
    Delete(swatch);
}

CSwatch* CSwatchSet::FindByNumber(int32_t n) const {
  CSwatch* node = root;
  while (node && node->number != n)
    node = n < node->number ? node->left : node->right;
  return node;
}

void CSwatchSet::SetDefaults() {
  Clear();
  CSwatchUpdateScope update(*this);
  for (int p = 0; p <= 100; p += 10) {
    // The single-precision 0.01 lies just below 0.01, so 25.5 and friends round down.
    const uint32_t v = static_cast<uint32_t>(std::lround(double(p) * double(0.01f) * 255.0));
    AddColor(CColor(v, v, v));
  }
  AddColor(CColor(0, 0, 0, 0));
  const float lightness[] = {0.25f, 0.5f, 0.75f};
  for (float l : lightness) {
    for (int i = 0; i < 12; ++i) {
      CColorModel model;
      model.HslToRgb(static_cast<float>(i) / 12.0f, 1.0f, l);
      auto channel = [](float c) {
        return (static_cast<uint32_t>(std::lround(c * 255.0f)) + 8) & ~15u;
      };
      AddColor(CColor(channel(model.red), channel(model.green), channel(model.blue)));
    }
  }
}

// Files.

namespace {

const char kRoot[] = "VELLUMCRAFT.COLORS";

uint32_t Limit(unsigned v) { return v > 254 ? 255u : v; }

void ReadSwatchFile(const char* path, CSwatchSet& into) {
  CSwatchUpdateScope update(into);
  CTextReader reader;
  reader.error.SetMode(CStreamError::MODE_THROW);
  try {
    char keyword[64];
    char value[256];
    reader.Open(path);
    if (!reader.ReadKeyword(keyword, sizeof keyword) || _stricmp(keyword, kRoot) != 0)
      throw CVCException("Unknown file format");
    reader.EnterBlock();
    unsigned version = 0;
    if (!reader.ReadKeyword(keyword, sizeof keyword) || _stricmp(keyword, "VERSION") != 0 ||
        !reader.ReadValue(value, sizeof value) || std::sscanf(value, "%u", &version) != 1 || version != 1)
      throw CVCException("Unsupported format");
    while (reader.ReadKeyword(keyword, sizeof keyword)) {
      if (_stricmp(keyword, "COLOR") != 0)
        continue;
      CSwatch* swatch = new (std::nothrow) CSwatch(CColor(255, 0, 0, 0));
      if (!swatch)
        throw CVCException("Insufficient memory");
      into.Insert(swatch, nullptr);
      reader.EnterBlock();
      while (reader.ReadKeyword(keyword, sizeof keyword)) {
        if (_stricmp(keyword, "RGBA255") != 0)
          continue;
        if (!reader.ReadValue(value, sizeof value))
          throw CVCException("Invalid data");
        unsigned r = 0, g = 0, b = 0, a = 255;
        if (std::sscanf(value, "%u,%u,%u:%u", &r, &g, &b, &a) < 3)
          throw CVCException("Invalid data");
        swatch->color = CColor(Limit(a), Limit(r), Limit(g), Limit(b));
      }
      reader.LeaveBlock();
    }
    reader.LeaveBlock();
    reader.Close();
  } catch (...) {
    reader.CloseAll();
    throw;
  }
}

void WriteSwatches(CTextWriter& writer, const CSwatchSet& set) {
  writer.BeginBlock(kRoot);
  writer.WriteValue("VERSION", "1.0");
  for (CSwatch* s = set.GetFirst(); s; s = CSwatchSet::Next(s)) {
    char text[64];
    const CColor& c = s->color;
    if (c.GetAlpha() == 255)
      std::snprintf(text, sizeof text, "%d,%d,%d", int(c.GetRed()), int(c.GetGreen()), int(c.GetBlue()));
    else
      std::snprintf(text, sizeof text, "%d,%d,%d:%d", int(c.GetRed()), int(c.GetGreen()), int(c.GetBlue()),
                    int(c.GetAlpha()));
    writer.BeginBlock("COLOR");
    writer.WriteValue("RGBA255", text);
    writer.EndBlock();
  }
  writer.EndBlock();
}

}  // namespace

bool LoadSwatchSet(const char* path) {
  CSwatchSet loaded;
  try {
    ReadSwatchFile(path, loaded);
  } catch (const CVCException& e) {
    ErrorBox(e.message.text);
    return false;
  } catch (...) {
    ErrorBox("Error while reading the swatch set");
    return false;
  }
  g_Swatches.Clear();
  try {
    CSwatchUpdateScope filling(g_Swatches);
    CSwatchUpdateScope leaving(loaded);
    while (CSwatch* swatch = loaded.GetFirst())
      g_Swatches.Insert(swatch, nullptr);
  } catch (...) {
    g_Swatches.Clear();
    ErrorBox("Error while reading the swatch set");
    return false;
  }
  return true;
}

bool SaveSwatchSet(const char* path) {
  try {
    CTextWriter writer;
    WriteFileReplacing(writer, path, [&] { WriteSwatches(writer, g_Swatches); });
    return true;
  } catch (const CVCException& e) {
    ErrorBox(e.message.text);
  } catch (...) {
    ErrorBox("Error while writing the swatch set");
  }
  return false;
}
