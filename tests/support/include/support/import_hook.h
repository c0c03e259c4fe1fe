// Points a Windows test program's imports at stand-ins, so that a test sees
// exactly what the code linked into it passes to the system.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <map>
#include <string>

namespace zoq::testing {

// Points the test program's import of `function` from `dll` at
// `replacement` for the object's lifetime. The code under test is linked
// into the program, so its calls go through that import.
class ImportHook {
 public:
  ImportHook(const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& table = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + table.VirtualAddress);
         d->Name != 0 && !slot_; ++d) {
      if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0) continue;
      auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
      auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
      for (; name->u1.AddressOfData != 0; ++name, ++slot) {
        if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
          slot_ = &slot->u1.Function;
          break;
        }
      }
    }
    if (slot_) original_ = Swap(reinterpret_cast<ULONG_PTR>(replacement));
  }
  // Points the import slot itself at `replacement`: for a delay-loaded
  // library, whose slots the import directory does not list (declare them
  // with ZOQ_IMPORT_SLOT).
  ImportHook(void** slot, void* replacement) : slot_(reinterpret_cast<ULONG_PTR*>(slot)) {
    original_ = Swap(reinterpret_cast<ULONG_PTR>(replacement));
  }
  ~ImportHook() {
    if (slot_) Swap(original_);
  }
  bool Installed() const { return slot_ != nullptr; }

 private:
  ULONG_PTR Swap(ULONG_PTR to) {
    DWORD protection;
    VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    ULONG_PTR was = *slot_;
    *slot_ = to;
    VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    return was;
  }
  ULONG_PTR* slot_ = nullptr;
  ULONG_PTR original_ = 0;
};

// The program's import slot of the function `fn`, by the linker's name for
// it; declared at namespace scope.
#define ZOQ_IMPORT_SLOT(fn) extern "C" void* __imp_##fn

// The system's own `name` of `dll`, which a replacement calls on to; a
// delay-loaded library may not be loaded yet.
template <typename Fn>
Fn Real(const char* dll, const char* name) {
  HMODULE module = GetModuleHandleA(dll);
  if (!module) module = LoadLibraryA(dll);
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
#define ZOQ_REAL(dll, fn) static const auto real = ::zoq::testing::Real<decltype(&fn)>(dll, #fn)

// For code that looks system functions up when first used: points the
// program's GetProcAddress at a stand-in that hands out `replacements` for
// those names, and the system's own functions for every other.
class LookUpHook {
 public:
  LookUpHook(std::initializer_list<std::pair<const char*, void*>> replacements)
      : hook_("kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&LookUp)) {
    for (const auto& [name, replacement] : replacements) Table()[name] = replacement;
  }
  ~LookUpHook() { Table().clear(); }
  bool Installed() const { return hook_.Installed(); }

 private:
  using Fn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
  static std::map<std::string, void*>& Table() {
    static std::map<std::string, void*> table;
    return table;
  }
  static FARPROC WINAPI LookUp(HMODULE module, LPCSTR name) {
    if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF) {
      const auto it = Table().find(name);
      if (it != Table().end()) return reinterpret_cast<FARPROC>(it->second);
    }
    return real_(module, name);
  }
  // Taken before the hook is in place.
  static inline const Fn real_ = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcAddress")));
  ImportHook hook_;
};

}  // namespace zoq::testing
