#pragma once
// Writing over a file without risking it, and keeping everything the file was. Where a new
// file beside the target can be all the old one was (one link, the same owner, group and
// access list), the new data goes into such a file, which takes the target's place, with the
// target's attributes and creation time, only once its data is on the disk. Otherwise (other
// hard links, a folder that takes no new file, another owner or access, a target whose name
// cannot be taken over) the new data is written over the target's own bytes, behind a
// complete copy of them that puts them back on any failure. A symbolic link is followed: the
// file it names is the target. A failure removes every file of this object's and leaves the
// target as it was.
#include <windows.h>
#include <cstdint>

enum : uint32_t {
  ZR_REPLACE_DONE = 0,
  ZR_REPLACE_WRITE_PROTECTED = 1,  // the target is read-only
  ZR_REPLACE_CANNOT_CREATE = 2,    // neither a new file beside the target nor a write over it
  ZR_REPLACE_WRITE_FAILED = 3,     // the new data did not reach the disk
};

class CZRReplacement {
public:
  CZRReplacement();
  // Abandons the new data unless Commit put it in place.
  ~CZRReplacement();
  CZRReplacement(const CZRReplacement&) = delete;
  CZRReplacement& operator=(const CZRReplacement&) = delete;

  // Makes the file for the new data, empty (a path in the code page of the file calls, in
  // any form they take). Refused: a read-only target, a folder, a device, a name that the
  // code page does not hold, a target that can be neither replaced nor written.
  uint32_t Begin(const char* target);
  // The file for the new data, open for reading and writing at its start. It stays this
  // object's: writers wrap it without taking it over.
  HANDLE GetHandle() const { return m_file; }
  // Brings the new data to the disk and puts it in the target's place. On failure the
  // target is as it was.
  uint32_t Commit();
  // Closes and deletes the new data's file.
  void Abandon();
  // Whether Begin chose to write over the target's own bytes.
  bool WritesInPlace() const { return m_inPlace != INVALID_HANDLE_VALUE; }

private:
  // Creates the new file in the folder made of full's first folder units, named after the
  // name that follows; the file system's error when it cannot.
  DWORD MakeNewFile(const wchar_t* full, size_t folder);
  // Sets up the write over the target's own bytes, the new data kept in the temporary folder
  // (or, failing that, in the target's).
  uint32_t BeginInPlace(const wchar_t* full, size_t folder);
  // Gives the new file the target's creation time and kept attributes.
  void TakeOverFromTarget(const WIN32_FILE_ATTRIBUTE_DATA& target);
  // Puts the new file, closed, in the place of the target (of these attributes, or none).
  uint32_t Swap(DWORD attributes);
  // Writes source's bytes over the target's own, behind a copy of the target's.
  uint32_t WriteInPlace(HANDLE source);

  HANDLE m_file;
  HANDLE m_inPlace;     // the target, open for writing, when its own bytes are written over
  wchar_t* m_target;    // full path of the target (what a link names), callable whatever its length
  wchar_t* m_temporary; // set while the new file beside the target exists
};
