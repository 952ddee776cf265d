#pragma once
// Writing over a file without risking it. The new file is made beside the target, in the
// target's own folder, under a name that no file had, and takes the target's place only once
// its data is on the disk, keeping the target's attributes, creation time and access control
// list (where the file system has them). A failure removes the new file and touches no other
// file.
#include <windows.h>
#include <cstdint>

enum : uint32_t {
  ZR_REPLACE_DONE = 0,
  ZR_REPLACE_WRITE_PROTECTED = 1,  // the target is read-only
  ZR_REPLACE_CANNOT_CREATE = 2,    // no new file beside the target, or it cannot take its place
  ZR_REPLACE_WRITE_FAILED = 3,     // the new file's data did not reach the disk
};

class CZRReplacement {
public:
  CZRReplacement();
  // Abandons the new file unless Commit put it in place.
  ~CZRReplacement();
  CZRReplacement(const CZRReplacement&) = delete;
  CZRReplacement& operator=(const CZRReplacement&) = delete;

  // Makes the new file, empty, beside target (a path in the code page of the file calls, in
  // any form they take). Refused: a read-only target, a folder, a device, a name that the
  // code page does not hold.
  uint32_t Begin(const char* target);
  // The new file, open for writing at its start. It stays this object's: writers wrap it
  // without taking it over.
  HANDLE GetHandle() const { return m_file; }
  // Brings the new file's data to the disk, closes it and puts it in the target's place. On
  // failure the new file is gone and the target is as it was.
  uint32_t Commit();
  // Closes and deletes the new file.
  void Abandon();

private:
  // Creates the new file in the folder made of full's first folder units.
  uint32_t MakeNewFile(const wchar_t* full, size_t folder);
  // Gives the new file the target's creation time and kept attributes.
  void TakeOverFromTarget(const WIN32_FILE_ATTRIBUTE_DATA& target);
  // The target's access control list (a security descriptor to be freed), null where it has
  // none that can be read.
  void* TargetSecurity() const;
  // Puts the new file, closed, in the place of the target (of these attributes, or none).
  uint32_t Swap(DWORD attributes);

  HANDLE m_file;
  wchar_t* m_target;     // full paths, in the "\\?\" form where they pass MAX_PATH
  wchar_t* m_temporary;  // set while the new file exists
};
