#pragma once
// Registry keys that a test changes, kept in memory with all their values and subkeys and put
// back as they were when the scope ends (a key that was missing is missing again).
#include <windows.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class SavedRegistryKeys {
public:
  SavedRegistryKeys(HKEY root, const std::vector<std::string>& paths) : m_root(root) {
    for (const std::string& path : paths) {
      Saved saved;
      saved.path = path;
      HKEY key = nullptr;
      if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        saved.tree.reset(new Tree);
        Read(key, *saved.tree);
        RegCloseKey(key);
      }
      m_saved.push_back(std::move(saved));
    }
  }
  ~SavedRegistryKeys() {
    for (const Saved& saved : m_saved) {
      DeleteTree(m_root, saved.path.c_str());
      if (!saved.tree)
        continue;
      HKEY key = nullptr;
      if (RegCreateKeyExA(m_root, saved.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
          ERROR_SUCCESS) {
        Write(key, *saved.tree);
        RegCloseKey(key);
      }
    }
  }
  // Takes the keys away, for a test that starts without them.
  void DeleteAll() {
    for (const Saved& saved : m_saved)
      DeleteTree(m_root, saved.path.c_str());
  }
  SavedRegistryKeys(const SavedRegistryKeys&) = delete;
  SavedRegistryKeys& operator=(const SavedRegistryKeys&) = delete;

private:
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  struct Tree {
    std::vector<Value> values;
    std::vector<std::pair<std::string, Tree>> subkeys;
  };
  struct Saved {
    std::string path;
    std::unique_ptr<Tree> tree;
  };

  static void Read(HKEY key, Tree& tree) {
    char name[16384];
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = sizeof name, type = 0, size = 0;
      if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        break;
      Value value{name, type, std::vector<BYTE>(size)};
      nameLength = sizeof name;
      if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, value.data.data(), &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        tree.values.push_back(std::move(value));
      }
    }
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = sizeof name;
      if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      HKEY subkey = nullptr;
      if (RegOpenKeyExA(key, name, 0, KEY_READ, &subkey) != ERROR_SUCCESS)
        continue;
      tree.subkeys.emplace_back(name, Tree());
      Read(subkey, tree.subkeys.back().second);
      RegCloseKey(subkey);
    }
  }

  static void Write(HKEY key, const Tree& tree) {
    for (const Value& value : tree.values)
      RegSetValueExA(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type, value.data.data(),
                     static_cast<DWORD>(value.data.size()));
    for (const auto& subkey : tree.subkeys) {
      HKEY child = nullptr;
      if (RegCreateKeyExA(key, subkey.first.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr) ==
          ERROR_SUCCESS) {
        Write(child, subkey.second);
        RegCloseKey(child);
      }
    }
  }

  static bool DeleteTree(HKEY parent, const char* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    char name[256];
    for (;;) {
      DWORD length = sizeof name;
      if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
          !DeleteTree(key, name))
        break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, path) == ERROR_SUCCESS;
  }

  HKEY m_root;
  std::vector<Saved> m_saved;
};
