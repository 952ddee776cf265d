#pragma once
// The fuzzing program: mutates seed files of every reader and feeds each mutant through the
// editor's own import road in supervised worker processes, which report every mutant's
// outcome, their crashes, hangs and peak memory.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class CProject;

namespace fuzz {

using Bytes = std::vector<uint8_t>;

// A reader under test, the extension its mutants are written with, and the plug-in
// fixtures (folder under tests/plugins, pattern) that seed it; readers without fixtures are
// seeded with files the program writes.
struct Reader {
  const char* name;
  const char* extension;
  const char* description;
  const char* fixtureFolder;
  const char* fixturePattern;
};

const std::vector<Reader>& Readers();
const Reader* FindReader(const std::string& name);

// Where the program keeps its work: seeds, mutants in progress and what it found.
std::string WorkFolder();
std::string SeedFolder(const Reader& reader);
std::string FoundFolder();
std::string ExeFolder();
// Deletes the files of a folder (its subfolders stay).
void EmptyFolder(const std::string& folder);
bool ReadFileBytes(const std::string& path, Bytes& bytes);
bool WriteFileBytes(const std::string& path, const Bytes& bytes);

// Fills every reader's seed folder: fixtures of the tree and files the program writes.
// False (with a message) when a reader is left without seeds.
bool PrepareSeeds();
std::vector<Bytes> LoadSeeds(const Reader& reader);

// The index-th mutant of a reader: the same seeds and index give the same bytes.
Bytes MakeMutant(const std::vector<Bytes>& seeds, const Reader& reader, uint64_t index);

// Loads the plug-ins and sets up what the roads need; false when a plug-in is missing.
bool InitRoads();
// The project the Import command makes of a file through the plug-ins (the probe without a
// preview, the import and the conversion), or null after its message.
CProject* ImportThroughPlugins(const std::string& path);
// Imports the file at path (holding bytes) through the reader's road: true when the editor
// accepted it, false when it refused it with its message.
bool RunRoad(const Reader& reader, const std::string& path, const Bytes& bytes);

// Answers the dialogs and boxes the roads show on this thread while it lives: the image
// chooser, once it has drawn every kind's list with every row's thumbnail and shown the first
// rows' previews, and the PSD import dialog with OK, every other window by closing it.
// Meanwhile another thread keeps pressing Enter in every window of this thread, posted and
// sent, as automation tools do, also while a dialog closes; a chooser only after its walk.
class CAnswerer {
public:
  CAnswerer();
  ~CAnswerer();
  CAnswerer(const CAnswerer&) = delete;
  CAnswerer& operator=(const CAnswerer&) = delete;

private:
  void* window;
  void* hook;
  uintptr_t timer;
  std::atomic<bool> stop;
  std::thread presser;
};

// Worker: runs mutants [first, first + count) of one reader, one status line each on the
// standard output.
int RunWorker(const Reader& reader, uint64_t first, uint64_t count);
// Runs a single file through a reader's road in this process.
int Replay(const Reader& reader, const std::string& path);
// Supervisor: every reader (or those named), perReader mutants each, jobs workers at once.
int RunSupervisor(uint64_t perReader, const std::vector<const Reader*>& readers, unsigned jobs);

}  // namespace fuzz
