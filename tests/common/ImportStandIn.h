#pragma once
// A stand-in for a function that a module imports: every slot of the module's import table
// that names the function points to the stand-in for the object's lifetime. Calls from
// other modules, and the stand-in's own calls through Real(), reach the system's function.
#include <windows.h>
#include <cstdint>
#include <cstring>
#include <vector>

class ImportStandIn {
public:
  ImportStandIn(HMODULE module, const char* function, void* standIn) {
    const auto base = reinterpret_cast<const uint8_t*>(module);
    const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
      return;
    for (auto d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
      auto names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk
                                                                                           : d->FirstThunk));
      auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(const_cast<uint8_t*>(base) + d->FirstThunk);
      for (; names->u1.AddressOfData; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
          continue;
        const auto byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
          continue;
        void** slot = reinterpret_cast<void**>(&slots->u1.Function);
        m_slots.push_back(slot);
        m_old.push_back(*slot);
        Put(slot, standIn);
      }
    }
  }
  ~ImportStandIn() {
    for (size_t i = 0; i < m_slots.size(); ++i)
      Put(m_slots[i], m_old[i]);
  }
  ImportStandIn(const ImportStandIn&) = delete;
  ImportStandIn& operator=(const ImportStandIn&) = delete;

  bool Installed() const { return !m_slots.empty(); }

  // The function of that name of a system library.
  template <typename Function>
  static Function Real(const char* function, const char* library = "kernel32.dll") {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(library), function)));
  }

private:
  static void Put(void** slot, void* value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
  }

  std::vector<void**> m_slots;
  std::vector<void*> m_old;
};
